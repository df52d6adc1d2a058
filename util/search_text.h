// Search text: a key and candidate titles brought to one normal form, so that a title is found
// whatever width, kana script, letter case or punctuation either was typed in.
//
// Normal form, in this order: hiragana to katakana; half-width katakana to full-width (a form with
// its voiced or semi-voiced mark first); "ティ" to "チ" and "ヴァ" "ヴィ" "ヴゥ" "ヴェ" "ヴォ" to
// "バ" "ビ" "ブ" "ベ" "ボ"; small kana to full size; capitals to small letters; ASCII letters and
// digits to full width; blanks and punctuation (the long-vowel mark "ー" included) dropped. The
// half-width long-vowel mark "ｰ" is kept.
#pragma once

#include <string>

class CSearchText {
 public:
  explicit CSearchText(const char* key);
  virtual ~CSearchText();

  // 1 when the normalised candidate holds the normalised key starting at a character (so a key
  // never matches across the halves of two double-byte characters); an empty key matches
  // everything. The candidate is not changed.
  int Match(const char* candidate);

  const std::string& Key() const { return key_; }

  // The normal form of a text (no length limit).
  static std::string Normalize(const char* text);

 private:
  std::string key_;
  bool key_ends_in_lone_lead_ = false;
  std::string stage_;  // work texts, kept to reuse their memory between candidates
  std::string work_;
};
