#include "style/style_catalogue.h"

#include "style/style_table.h"

namespace {

struct RandomEntry {
  const char* name;
  const char* english_name;
  const char* description;
};

const RandomEntry kRandomEntries[9] = {
    {"ﾗﾝﾀﾞﾑ海外", "Random Pops",
     "毎回異なる音楽スタイルをランダムに生成し、演奏します。生成される音楽スタイルをファイルに書き出すように設定しておけば、後で読み込んで使用することもできます。"},
    {"ﾗﾝﾀﾞﾑ国内", "Random Pops", "ジャズ風の音楽スタイルを自動生成し、演奏します。"},
    {"ﾗﾝﾀﾞﾑｼﾞｬｽﾞ", "Random Jazz", "ジャズ風の音楽スタイルを自動生成して演奏します。"},
    {"ﾗﾝﾀﾞﾑｸﾗｼｯｸ", "Random Classic", "ｸﾗｼｯｸ風の音楽スタイルを自動生成して演奏します。"},
    {"ﾗﾝﾀﾞﾑ民族東", "Random Ethnic", "自動で民族音楽を生成し、演奏します。"},
    {"ﾗﾝﾀﾞﾑ民族西", "Random Ethnic", "自動で民族音楽を生成し、演奏します。"},
    {"ﾗﾝﾀﾞﾑｹﾞｰﾑ", "Random Game", "自動でゲーム音楽を生成し、演奏します。"},
    {"ﾗﾝﾀﾞﾑﾋｰﾘﾝｸﾞ", "Random Healing", "ヒーリング音楽を自動生成して演奏します。"},
    {"ﾗﾝﾀﾞﾑﾃｸﾉ", "Random Techno", "テクノ風の音楽スタイルを自動生成して演奏します。"},
};

}  // namespace

void DefineRandomCategoryEntry(int category, StyleRecord& r) {
  if (category < 0 || category >= 9) return;
  SetStyleDefaults(r);
  const RandomEntry& e = kRandomEntries[category];
  SetStyleText(r.name, e.name);
  SetStyleText(r.english_name, e.english_name);
  SetStyleText(r.description, e.description);
  r.random_category = category + 1;
}

bool IsNamedStyleSlot(int, int) { return false; }

void RunStyleSlotDefinition(int category, int slot, StyleRecord& r) {
  if (slot == 0) {
    DefineRandomCategoryEntry(category, r);
    return;
  }
  SetStyleDefaults(r);
  FinaliseStyle(r);
}
