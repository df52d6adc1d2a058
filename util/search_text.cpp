#include "util/search_text.h"

#include <cstdint>
#include <cstring>

#include "util/gne_kana_lookup.h"
#include "util/gne_text.h"

namespace {

using gne_kana::CharCode;
using gne_kana::CharWidth;
using gne_kana::TwoByteSlot;

void PutCode(std::string& out, unsigned code) {
  out.push_back(static_cast<char>(code >> 8));
  out.push_back(static_cast<char>(code & 0xFF));
}

// Hiragana to katakana, half-width katakana to full-width.
void FoldScriptAndWidth(const char* text, std::string& out) {
  const gne_kana::Lookup& t = gne_kana::Tables();
  const uint8_t voiced = static_cast<uint8_t>("ﾞ"[0]);
  const uint8_t semi = static_cast<uint8_t>("ﾟ"[0]);
  out.clear();
  for (size_t i = 0; text[i] != 0;) {
    const uint8_t b = static_cast<uint8_t>(text[i]);
    if (CharWidth(text + i) == 2) {
      const int slot = TwoByteSlot(CharCode(text + i));
      if (slot >= 0 && t.katakana_of[slot] != 0) {
        PutCode(out, t.katakana_of[slot]);
      } else {
        out.append(text + i, 2);
      }
      i += 2;
      continue;
    }
    const uint8_t next = static_cast<uint8_t>(text[i + 1]);
    if (next == voiced && t.search_voiced[b] != 0) {
      PutCode(out, t.search_voiced[b]);
      i += 2;
    } else if (next == semi && t.search_semi[b] != 0) {
      PutCode(out, t.search_semi[b]);
      i += 2;
    } else if (t.search_plain[b] != 0) {
      PutCode(out, t.search_plain[b]);
      ++i;
    } else {
      out.push_back(static_cast<char>(b));
      ++i;
    }
  }
}

struct ForeignSound {
  const char* from;  // two double-byte characters
  const char* to;
};
const ForeignSound kForeignSounds[] = {{"ティ", "チ"}, {"ヴァ", "バ"}, {"ヴィ", "ビ"},
                                       {"ヴゥ", "ブ"}, {"ヴェ", "ベ"}, {"ヴォ", "ボ"}};

// Foreign sounds, small kana, letter case, ASCII to full width, blanks and punctuation.
void FoldSoundsCaseAndMarks(const std::string& in, std::string& out) {
  const gne_kana::Lookup& t = gne_kana::Tables();
  const char* text = in.c_str();
  const size_t n = in.size();
  out.clear();
  for (size_t i = 0; i < n;) {
    const size_t width = CharWidth(text + i);
    if (width == 2) {
      if (i + 4 <= n) {
        const ForeignSound* hit = nullptr;
        for (const ForeignSound& s : kForeignSounds) {
          if (std::memcmp(text + i, s.from, 4) == 0) {
            hit = &s;
            break;
          }
        }
        if (hit != nullptr) {
          out.append(hit->to, 2);
          i += 4;
          continue;
        }
      }
      const int slot = TwoByteSlot(CharCode(text + i));
      const uint16_t fold = slot >= 0 ? t.search_fold2[slot] : 0;
      if (fold == 0) {
        out.append(text + i, 2);
      } else if (fold != gne_kana::kDrop) {
        PutCode(out, fold);
      }
      i += 2;
      continue;
    }
    const uint16_t fold = t.search_fold1[static_cast<uint8_t>(text[i])];
    if (fold == 0) {
      out.push_back(text[i]);
    } else if (fold != gne_kana::kDrop) {
      PutCode(out, fold);
    }
    ++i;
  }
}

bool EndsInLoneLead(const std::string& text) {
  size_t i = 0, last = 0;
  while (i < text.size()) {
    last = i;
    i += CharWidth(text.c_str() + i);
  }
  return !text.empty() && i - last == 1 && GneIsLeadByte(static_cast<uint8_t>(text[last]));
}

}  // namespace

CSearchText::CSearchText(const char* key) {
  key_ = Normalize(key);
  key_ends_in_lone_lead_ = EndsInLoneLead(key_);
}

CSearchText::~CSearchText() = default;

std::string CSearchText::Normalize(const char* text) {
  std::string stage, out;
  if (text == nullptr) return out;
  FoldScriptAndWidth(text, stage);
  FoldSoundsCaseAndMarks(stage, out);
  return out;
}

int CSearchText::Match(const char* candidate) {
  if (key_.empty()) return 1;
  if (candidate == nullptr) return 0;
  FoldScriptAndWidth(candidate, stage_);
  FoldSoundsCaseAndMarks(stage_, work_);
  const size_t n = work_.size();
  const size_t k = key_.size();
  if (k > n) return 0;
  const char* text = work_.c_str();
  const char first = key_[0];
  for (size_t i = 0; i + k <= n; i += CharWidth(text + i)) {
    if (text[i] != first || std::memcmp(text + i, key_.data(), k) != 0) continue;
    // A key ending in a lone lead byte only matches that byte at the end of the candidate;
    // anywhere else it would be the first half of a double-byte character.
    if (key_ends_in_lone_lead_ && i + k != n) continue;
    return 1;
  }
  return 0;
}
