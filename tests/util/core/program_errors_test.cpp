// Program-wide message boxes by code and the GENE reporter.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/encoding.h"
#include "tests/support/test_support.h"
#include "util/gne.h"
#include "util/program_errors.h"

namespace {

using plat::BoxKind;

TEST(ProgramErrors, EveryTextDecodesFromCp932) {
  auto check = [](const char* text, uint32_t code) {
    std::string utf8;
    EXPECT_TRUE(plat::TryCp932ToUtf8(text, utf8)) << std::hex << code;
    EXPECT_FALSE(utf8.empty()) << std::hex << code;
  };
  for (uint32_t code = 0xFF010000u; code <= 0xFF010210u; ++code) {
    check(ProgramErrorText(code), code);
    check(ProgramInfoText(code), code);
    if (const char* q = ProgramQuestionText(code)) check(q, code);
  }
  for (uint32_t code : {0x0u, 0x1u, 0x2u, 0x3u, 0x4u, 0x5u, 0x6u, 0x7u, 0x8u, 0x9u, 0xAu, 0xBu, 0xCu,
                        0x3001u, 0x3002u, 0x3003u, 0xFFFFu, 0xFF01012Bu, 0x1234u}) {
    check(CommonDialogErrorText(code, true), code);
  }
}

TEST(ProgramErrors, NumbersWithoutTextTakeTheUndefinedText) {
  const std::string undefined = "未定義のエラーが発生しました！";
  for (uint32_t n : {0x073u, 0x080u, 0x0FFu, 0x104u, 0x105u, 0x108u, 0x115u, 0x147u, 0x14Bu, 0x14Cu,
                     0x155u, 0x15Au, 0x15Fu, 0x1CCu, 0x1EBu, 0x000u}) {
    EXPECT_EQ(ProgramErrorText(0xFF010000u + n), undefined) << std::hex << n;
  }
  EXPECT_EQ(ProgramErrorText(0x01000001u), undefined);
  // Every other number in 0x001..0x1EA outside the gaps has a text of its own.
  EXPECT_NE(ProgramErrorText(0xFF010072u), undefined);
  EXPECT_NE(ProgramErrorText(0xFF010100u), undefined);
  EXPECT_NE(ProgramErrorText(0xFF0101EAu), undefined);
}

TEST(ProgramErrors, KnownTexts) {
  EXPECT_STREQ(ProgramErrorText(0xFF01003Au), "タイムチャートの作成に失敗しました！");
  EXPECT_STREQ(ProgramErrorText(0xFF010156u), "楽器の指定に誤りがあります。");
  EXPECT_STREQ(ProgramErrorText(0xFF0101EAu),
               "拡大と縮小が２００％以上に設定されています。正常に表示できない場合があります。");
  EXPECT_EQ(FormatProgramError(0xFF01002Au),
            "OVXCFF01002A 出力ファイルのエラーです！ファイルが使用中、あるいは選択中の可能性があります。");
}

TEST(ProgramErrors, ShowErrorByCodeShowsTheBoxThenPauses) {
  const auto slept_before = cantrel_test::Clock().Slept();
  ShowErrorByCode(0xFF010001u);
  const auto boxes = cantrel_test::Sink().Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].kind, BoxKind::Error);
  EXPECT_EQ(boxes[0].text, "OVXCFF010001 ドラムパターンのエラーです！");
  EXPECT_EQ(cantrel_test::Clock().Slept() - slept_before, std::chrono::milliseconds(500));
}

TEST(ProgramErrors, AnOpenOncePerCodeScopeShowsEachCodeOnceAndForgetsWhenItCloses) {
  const auto slept_before = cantrel_test::Clock().Slept();
  {
    ErrorOncePerCodeScope outer;
    for (int i = 0; i < 5; ++i) ShowErrorByCode(0xFF010133u);
    {
      ErrorOncePerCodeScope inner;  // nested: the outer scope still remembers
      ShowErrorByCode(0xFF010133u);
      ShowErrorByCode(0xFF010002u);
    }
    ShowErrorByCode(0xFF010002u);
  }
  ShowErrorByCode(0xFF010133u);  // no scope: shown again
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            (std::vector<std::string>{"OVXCFF010133 拍子のエラーが起きました！",
                                      "OVXCFF010002 ドラム音のエラーです！",
                                      "OVXCFF010133 拍子のエラーが起きました！"}));
  // A repeat neither shows nor pauses.
  EXPECT_EQ(cantrel_test::Clock().Slept() - slept_before, std::chrono::milliseconds(1500));
}

TEST(ProgramErrors, AnotherThreadsScopeDoesNotHideThisThreadsErrors) {
  ErrorOncePerCodeScope scope;
  ShowErrorByCode(0xFF010001u);
  std::thread other([] {
    ShowErrorByCode(0xFF010001u);
    ShowErrorByCode(0xFF010001u);
  });
  other.join();
  EXPECT_EQ(cantrel_test::Sink().Count(), 3u);
}

TEST(ProgramErrors, UnknownErrorCodesStillShowTheirCode) {
  ShowErrorByCode(0xFF010080u);
  ShowErrorByCode(0xFF0101EBu);
  const auto texts = cantrel_test::Sink().Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "OVXCFF010080 未定義のエラーが発生しました！");
  EXPECT_EQ(texts[1], "OVXCFF0101EB 未定義のエラーが発生しました！");
}

TEST(ProgramErrors, AskByCodeAndByText) {
  cantrel_test::Sink().QueueAnswer(IDCANCEL);
  EXPECT_EQ(AskByCode(0xFF010155u), IDCANCEL);
  EXPECT_EQ(AskByCode(0xFF01014Cu), IDOK);
  EXPECT_EQ(AskByCode("保存しますか？"), IDOK);
  const auto boxes = cantrel_test::Sink().Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  for (const auto& box : boxes) EXPECT_EQ(box.kind, BoxKind::Confirm);
  EXPECT_EQ(boxes[0].text, "この操作を行うと、音楽スタイルが初期設定に戻りますが、よろしいですか？");
  EXPECT_EQ(boxes[1].text,
            "長管効果かサイレン効果を使用しています。\nOVXでファイルの作成はできますが、再生はできないかもしれません。使用しますか？");
  EXPECT_EQ(boxes[2].text, "保存しますか？");
  EXPECT_EQ(cantrel_test::Clock().Slept(), std::chrono::milliseconds(0));
}

TEST(ProgramErrors, InformationBoxes) {
  EXPECT_EQ(ShowInfoByCode(0xFF010202u), IDOK);
  ShowInfoByCode(0xFF010206u);
  ShowInfoByCode(0xFF010201u);
  const auto boxes = cantrel_test::Sink().Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].kind, BoxKind::Message);
  EXPECT_EQ(boxes[0].text, "曲長が長すぎるので縮めました。");
  EXPECT_EQ(boxes[1].text, "未定義の情報です。");
  EXPECT_EQ(boxes[2].text, "未定義の情報です。");
  EXPECT_NE(std::string(ProgramInfoText(0xFF010204u)).find("\r\r"), std::string::npos);
}

TEST(ProgramErrors, DialogErrorsKeepTheirTrailingBlank) {
  ShowDialogError(0x3002u);
  ShowDialogError(0xFF01012Bu);
  ShowDialogError(0x4000u);
  const auto boxes = cantrel_test::Sink().Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].kind, BoxKind::Error);
  EXPECT_EQ(boxes[0].text, "QVGN00003002 ファイル名が無効です。 ");
  EXPECT_EQ(boxes[1].text, "QVGNFF01012B 選択が多すぎます！");
  EXPECT_EQ(boxes[2].text, "QVGN00004000 未定義のエラーです。");
  EXPECT_STREQ(CommonDialogErrorText(0xFF01012Bu, false), "未定義のエラーです。");
}

TEST(ProgramErrors, ShowErrorTextHasNoTagAndNoPause) {
  ShowErrorText("テスト");
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"テスト"});
  EXPECT_EQ(cantrel_test::Clock().Slept(), std::chrono::milliseconds(0));
}

TEST(ProgramErrors, ClampOrWrap) {
  struct Case {
    int in, wrap, out;
  } cases[] = {{11, 0, 10}, {11, 1, 0}, {-1, 0, 0}, {-1, 1, 10}, {5, 0, 5}, {5, 1, 5}, {0, 1, 0}, {10, 1, 10}};
  for (const Case& c : cases) {
    int v = c.in;
    ClampOrWrap(&v, 0, 10, c.wrap);
    EXPECT_EQ(v, c.out) << c.in << " wrap " << c.wrap;
  }
}

TEST(GneErrorMsg, TextsAndDetail) {
  GneErrorMsg(kGneDataTooLarge);
  GneErrorMsg(kGneFileNotFound, "a.mid");
  GneErrorMsg(0);
  const auto texts = cantrel_test::Sink().Texts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "GENE0100000A データが大きすぎます。");
  EXPECT_EQ(texts[1], "GENE01000005 ファイルが見つかりませんでした。 [a.mid]");
  EXPECT_EQ(texts[2], "GENE00000000 汎用処理でエラーが発生しました。");
}

TEST(GneErrorMsg, LongTextsAreCutBetweenCharacters) {
  // Japanese text running past the 2047 bytes a box keeps, at either parity of the cut.
  for (size_t lead : {0u, 1u}) {
    const std::string detail = std::string(lead, 'x') + [] {
      std::string s;
      for (int i = 0; i < 1500; ++i) s += "曲";
      return s;
    }();
    const std::string formatted = GneFormatError(kGneFileNotFound, detail.c_str());
    const std::string boxed = FormatBoxText("%s", detail.c_str());
    for (const std::string& text : {formatted, boxed}) {
      EXPECT_LE(text.size(), 2047u);
      EXPECT_GE(text.size(), 2046u);
      std::string utf8;
      EXPECT_TRUE(plat::TryCp932ToUtf8(text, utf8)) << "no half character at the end";
    }
  }
  EXPECT_EQ(FormatBoxText("%d-%s", 7, "ab"), "7-ab");
  EXPECT_EQ(FormatBoxText("%s", ""), "");
}

TEST(GneErrorMsg, MemoryAndFileOpenCodesEndTheProgramAfterTheBox) {
  try {
    GneErrorMsg(kGneOutOfMemory);
    FAIL() << "did not end the program";
  } catch (const plat::ProgramExit& e) {
    EXPECT_EQ(e.code, 0x01000002);
  }
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"GENE01000002 メモリが不足しています。"});
  try {
    GneErrorMsg(kGneFileOpenFailed, "x.dat");
    FAIL() << "did not end the program";
  } catch (const plat::ProgramExit& e) {
    EXPECT_EQ(e.code, 0x01000007);
  }
  const std::string text = cantrel_test::Sink().Texts().back();
  EXPECT_EQ(text.rfind("GENE01000007 ファイルが開けませんでした。", 0), 0u);
  EXPECT_NE(text.find("\nあるいは"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 8), " [x.dat]");
  // The reporting form never ends the program.
  GneReportError(kGneFileOpenFailed, "y.dat");
}

}  // namespace
