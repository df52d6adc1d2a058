#include "util/gne_error.h"

#include <cstdio>

#include "platform/core/message_sink.h"
#include "util/gne.h"

namespace {

struct GeneText {
    uint32_t code;
    const char* text;
};

const GeneText kGeneTexts[] = {
    {0x01000002u, "メモリが不足しています。"},
    {0x01000004u, "パフォーマンスが低下しています。一旦終了して、再起動してください。"},
    {0x01000005u, "ファイルが見つかりませんでした。"},
    {0x01000006u, "16進数のデータの記述に誤りがあります。"},
    {0x01000007u, "ファイルが開けませんでした。ファイルリストを絶対パスで記述してみてください。\nあるいは、出力フォルダや作業フォルダの設定などを確認してください。"},
    {0x0100000Au, "データが大きすぎます。"},
    {0x0100000Bu, "パラメータに誤りがあります。"},
    {0x0100000Cu, "カレントディレクトリが取得できませんでした。"},
    {0x0100000Du, "ファイルサイズにエラーがあります。"},
    {0x0100000Eu, "拍子にエラーがあります。"},
    {0x0100000Fu, "自動編曲中にエラーが発生しました。(1)"},
    {0x01000010u, "楽曲解析中にエラーが発生しました。"},
    {0x01000011u, "自動編曲中にエラーが発生しました。(2)"},
    {0x01000012u, "BPM変換でエラーが発生しました。"},
    {0x01000013u, "テンポ変換でエラーが発生しました。"},
};

const char kGeneralText[] = "汎用処理でエラーが発生しました。";

}  // namespace

const char* GneErrorText(uint32_t code) {
    for (const GeneText& row : kGeneTexts) {
        if (row.code == code) return row.text;
    }
    return kGeneralText;
}

std::string GneFormatError(uint32_t code, const char* detail) {
    char head[16];
    std::snprintf(head, sizeof head, "GENE%08X ", code);
    std::string text = std::string(head) + GneErrorText(code);
    if (detail != nullptr) text += std::string(" [") + detail + "]";
    // At most 2047 bytes, cut between characters (a long path must not leave half a character).
    text.resize(GneFitCp932(text.data(), text.size(), 2047));
    return text;
}

std::string GneWithReason(std::string text, const std::string& why) {
    if (why.empty()) return text;
    text += "\n" + why;
    text.resize(GneFitCp932(text.data(), text.size(), 2047));
    return text;
}

void GneReportError(uint32_t code, const char* detail) { GneReportError(code, detail, std::string()); }

void GneReportError(uint32_t code, const char* detail, const std::string& why) {
    GneErrorBox(GneWithReason(GneFormatError(code, detail), why).c_str());
}

void GneErrorMsg(uint32_t code, const char* detail) { GneErrorMsg(code, detail, std::string()); }

void GneErrorMsg(uint32_t code, const char* detail, const std::string& why) {
    GneReportError(code, detail, why);
    if (code == kGneOutOfMemory || code == kGneFileOpenFailed) {
        plat::ExitProgram(static_cast<int>(code));
    }
}
