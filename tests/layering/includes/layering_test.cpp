// The layering of the libraries: every source's includes, and every library's link list in the
// top CMakeLists.txt, are checked against one table of which folder may use which. A folder that
// reaches above its place (util including song, anything below draw including Qt or draw, app or
// dialogs) fails here with the file and line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

struct Layer {
  std::string folder;                 // "util", "platform/core", "export/ringtone"
  std::vector<std::string> may_use;   // folders ("music/") or header prefixes ("accomp/harmony")
  bool qt = false;                    // may include Qt headers
  std::vector<std::string> system;    // outside libraries of its own ("fluidsynth", "curl", ...)
};

// Placements that differ from the first design and are kept by this table (they need no
// exception, they are why the arrows hold): the music name tables live in util/music_names,
// the engine services the styles call in style/engine_services, and the chord-name conversion
// in song/chord_codes. accomp/ builds on engine/; the arranging road (arrange/: the facade and
// the renderer that calls every part builder) sits above both. The ringtone formats
// (export/ringtone/) are a library on util and music below engine.
const std::vector<Layer>& Table() {
  static const std::vector<Layer> table = [] {
    const std::vector<std::string> core = {"platform/core/"};
    auto with = [](std::vector<std::string> base, std::vector<std::string> more) {
      base.insert(base.end(), more.begin(), more.end());
      return base;
    };
    const auto util = with(core, {"util/"});
    const auto music = with(util, {"music/"});
    const auto style = with(util, {"style/"});
    const auto ringtone = with(music, {"export/ringtone/"});
    const auto song = with(music, {"style/", "song/"});
    const auto engine = with(song, {"export/ringtone/", "engine/"});
    const auto accomp = with(engine, {"accomp/"});
    const auto exporting = with(accomp, {"export/"});
    const auto arrange = with(accomp, {"arrange/"});
    const auto qt = with(core, {"platform/qt/"});
    const auto webengine = with(qt, {"platform/webengine/"});
    const auto draw = with(engine, {"platform/qt/", "draw/"});
    const auto dialogs = with(exporting, {"arrange/", "platform/qt/", "draw/", "dialogs/"});
    const auto app = with(dialogs, {"app/", "platform/webengine/"});
    std::vector<Layer> t = {
        {"platform/core", core, false, {"fluidsynth", "rtmidi", "curl", "alsa"}},
        {"platform/qt", qt, true, {}},
        {"platform/webengine", webengine, true, {}},
        {"util", util, false, {}},
        {"music", music, false, {}},
        {"style", style, false, {}},
        {"song", song, false, {}},
        {"export/ringtone", ringtone, false, {}},
        {"engine", engine, false, {}},
        {"accomp", accomp, false, {}},
        {"export", exporting, false, {}},
        {"arrange", arrange, false, {}},
        {"draw", draw, true, {}},
        {"dialogs", dialogs, true, {}},
        {"app", app, true, {}},
    };
    return t;
  }();
  return table;
}

// The layer a path (relative to the source root, with '/') belongs to: the longest folder that
// holds it, or null.
const Layer* LayerOf(const std::string& path) {
  const Layer* best = nullptr;
  for (const Layer& l : Table()) {
    if (path.rfind(l.folder + "/", 0) == 0 && (!best || l.folder.size() > best->folder.size()))
      best = &l;
  }
  return best;
}

bool StartsWithAny(const std::string& s, const std::vector<std::string>& prefixes) {
  for (const std::string& p : prefixes)
    if (s.rfind(p, 0) == 0) return true;
  return false;
}

// <QWidget>, <QtCore/qstring.h>, <qglobal.h>.
bool IsQtHeader(const std::string& name) {
  if (name.size() >= 2 && name[0] == 'Q' && std::isupper(static_cast<unsigned char>(name[1])))
    return true;
  if (name.rfind("Qt", 0) == 0 && name.find('/') != std::string::npos) return true;
  return name.size() > 3 && name[0] == 'q' && name.find('/') == std::string::npos &&
         name.compare(name.size() - 2, 2, ".h") == 0 && name.rfind("qt", 0) != 0 &&
         name != "queue.h";
}

// The <name> or "name" of an include line; false for other lines.
bool ParseInclude(const std::string& line, bool* angle, std::string* name) {
  size_t i = line.find_first_not_of(" \t");
  if (i == std::string::npos || line[i] != '#') return false;
  i = line.find_first_not_of(" \t", i + 1);
  if (i == std::string::npos || line.compare(i, 7, "include") != 0) return false;
  i = line.find_first_not_of(" \t", i + 7);
  if (i == std::string::npos || (line[i] != '<' && line[i] != '"')) return false;
  *angle = line[i] == '<';
  const size_t end = line.find(*angle ? '>' : '"', i + 1);
  if (end == std::string::npos) return false;
  *name = line.substr(i + 1, end - i - 1);
  return true;
}

// The outside library an angle-bracket include belongs to, or empty for the standard and system
// headers.
std::string SystemLibraryOf(const std::string& name) {
  static const std::vector<std::pair<std::string, std::string>> libs = {
      {"fluidsynth", "fluidsynth"}, {"rtmidi/", "rtmidi"}, {"RtMidi", "rtmidi"},
      {"curl/", "curl"},            {"alsa/", "alsa"}};
  for (const auto& [prefix, lib] : libs)
    if (name.rfind(prefix, 0) == 0) return lib;
  return std::string();
}

struct Include {
  std::string file;  // relative to the root
  int line;
  bool angle;
  std::string name;
};

std::vector<Include> IncludesOf(const fs::path& root, const std::string& rel) {
  std::vector<Include> out;
  std::ifstream in(root / rel, std::ios::binary);
  std::string line;
  int number = 0;
  bool in_comment = false;
  while (std::getline(in, line)) {
    ++number;
    // Block comments: an include inside one is no include.
    if (in_comment) {
      const size_t end = line.find("*/");
      if (end == std::string::npos) continue;
      line = line.substr(end + 2);
      in_comment = false;
    }
    const size_t open = line.find("/*");
    if (open != std::string::npos && line.find("*/", open) == std::string::npos &&
        line.find("//") > open) {
      in_comment = true;
      line = line.substr(0, open);
    }
    bool angle = false;
    std::string name;
    if (ParseInclude(line, &angle, &name)) out.push_back({rel, number, angle, name});
  }
  return out;
}

bool IsSource(const fs::path& p) {
  const std::string ext = p.extension().string();
  return ext == ".cpp" || ext == ".h" || ext == ".hpp" || ext == ".cc" || ext == ".inc";
}

// Every source below the given top folders, relative to the root, sorted.
std::vector<std::string> Sources(const fs::path& root, const std::vector<std::string>& tops) {
  std::vector<std::string> files;
  for (const std::string& top : tops) {
    std::error_code ec;
    if (!fs::is_directory(root / top, ec)) continue;
    for (auto it = fs::recursive_directory_iterator(root / top, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (ec) break;
      if (it->is_regular_file(ec) && IsSource(it->path()))
        files.push_back(fs::relative(it->path(), root).generic_string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The project header an include names, relative to the root, or empty when it names none (a
// standard or outside header). Includes are written from the root; a name next to the
// including file is that file's folder.
std::string ProjectTarget(const fs::path& root, const Include& inc) {
  std::error_code ec;
  if (inc.angle) return LayerOf(inc.name) && fs::exists(root / inc.name, ec) ? inc.name : "";
  if (fs::exists(root / inc.name, ec)) return inc.name;
  const fs::path beside = fs::path(inc.file).parent_path() / inc.name;
  if (fs::exists(root / beside, ec)) return beside.lexically_normal().generic_string();
  return LayerOf(inc.name) ? inc.name : "";  // a project path that does not exist yet
}

// What the file may use: its own layer's table row; a test folder tests/<folder>/... may use
// what <folder> may, the test support, and util (the seeded generator). Null = not checked.
struct Rules {
  std::vector<std::string> may_use;
  bool qt = false;
  std::vector<std::string> system;
};

bool RulesFor(const std::string& file, Rules* rules) {
  std::string path = file;
  bool test = false;
  if (path.rfind("tests/", 0) == 0) {
    if (path.rfind("tests/support/", 0) == 0 || path.rfind("tests/layering/", 0) == 0) return false;
    path = path.substr(6);
    const size_t slash = path.find('/');
    if (slash == std::string::npos) return false;
    // tests/platform_core/... stands for platform/core, tests/platform_qt/... for platform/qt.
    std::string top = path.substr(0, slash);
    if (top == "platform_core") top = "platform/core";
    if (top == "platform_qt") top = "platform/qt";
    if (top == "platform_webengine") top = "platform/webengine";
    path = top + "/x";
    test = true;
  }
  const Layer* layer = LayerOf(path);
  if (!layer) return false;
  rules->may_use = layer->may_use;
  rules->qt = layer->qt;
  rules->system = layer->system;
  if (test) {
    rules->may_use.push_back("tests/");
    rules->may_use.push_back("util/");
  }
  return true;
}

// Every include that breaks the table, as "file:line: what".
std::vector<std::string> Violations(const fs::path& root) {
  std::vector<std::string> found;
  const auto files =
      Sources(root, {"platform", "util", "music", "style", "song", "engine", "accomp", "export",
                     "arrange", "draw", "dialogs", "app", "tests"});
  for (const std::string& file : files) {
    Rules rules;
    if (!RulesFor(file, &rules)) continue;
    for (const Include& inc : IncludesOf(root, file)) {
      const std::string where = file + ":" + std::to_string(inc.line) + ": ";
      if (inc.angle && IsQtHeader(inc.name)) {
        if (!rules.qt) found.push_back(where + "Qt header <" + inc.name + ">");
        continue;
      }
      if (inc.angle) {
        const std::string lib = SystemLibraryOf(inc.name);
        if (!lib.empty() &&
            std::find(rules.system.begin(), rules.system.end(), lib) == rules.system.end()) {
          found.push_back(where + "outside library <" + inc.name + "> (only platform/core)");
        }
      }
      const std::string target = ProjectTarget(root, inc);
      if (target.empty()) continue;
      // The file's own folder and files beside it are always fine.
      if (fs::path(target).parent_path() == fs::path(file).parent_path()) continue;
      if (!StartsWithAny(target, rules.may_use)) found.push_back(where + "includes " + target);
    }
  }
  return found;
}

// The link lists of the top CMakeLists.txt: cantrel_library(<name> <folder> LIBS ...) may name
// only libraries of folders the folder may use.
std::vector<std::string> LinkViolations(const fs::path& root) {
  std::ifstream in(root / "CMakeLists.txt");
  std::stringstream text;
  text << in.rdbuf();
  const std::string s = text.str();
  std::map<std::string, std::string> folder_of;  // library name -> folder
  std::vector<std::pair<std::string, std::vector<std::string>>> calls;
  size_t at = 0;
  while ((at = s.find("cantrel_library(", at)) != std::string::npos) {
    const size_t end = s.find(')', at);
    if (end == std::string::npos) break;
    std::istringstream args(s.substr(at + 16, end - at - 16));
    at = end;
    std::vector<std::string> words;
    for (std::string w; args >> w;) words.push_back(w);
    if (words.size() < 2) continue;
    folder_of[words[0]] = words[1];
    std::vector<std::string> libs;
    bool in_libs = false;
    std::vector<std::string> also;  // further folders built into the same library
    bool in_also = false;
    for (size_t i = 2; i < words.size(); ++i) {
      if (words[i] == "LIBS" || words[i] == "EXCLUDE" || words[i] == "ALSO") {
        in_libs = words[i] == "LIBS";
        in_also = words[i] == "ALSO";
        continue;
      }
      if (in_libs) libs.push_back(words[i]);
      if (in_also) also.push_back(words[i]);
    }
    calls.push_back({words[1], libs});
    // A folder built into another folder's library links what that library links: each of its
    // links must be one the folder itself may use too.
    for (const std::string& folder : also) calls.push_back({folder, libs});
  }
  std::vector<std::string> found;
  for (const auto& [folder, libs] : calls) {
    const Layer* layer = LayerOf(folder + "/x");
    if (!layer) {
      found.push_back("CMakeLists.txt: library folder " + folder + " has no row in the table");
      continue;
    }
    for (const std::string& lib : libs) {
      auto it = folder_of.find(lib);
      if (it == folder_of.end()) continue;  // an outside library
      if (it->second == folder) continue;
      if (!StartsWithAny(it->second + "/", layer->may_use) &&
          !StartsWithAny(it->second, layer->may_use)) {
        found.push_back("CMakeLists.txt: " + folder + " links " + lib + " (" + it->second + ")");
      }
    }
  }
  if (calls.empty()) found.push_back("CMakeLists.txt: no cantrel_library calls found");
  return found;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += "  " + l + "\n";
  return out;
}

TEST(Layering, EverySourceIncludesOnlyWhatItsLibraryMayUse) {
  const auto found = Violations(cantrel_test::SourceDir());
  EXPECT_TRUE(found.empty()) << found.size() << " includes break the layering:\n" << Join(found);
}

TEST(Layering, EveryLibraryLinksOnlyWhatItMayUse) {
  const auto found = LinkViolations(cantrel_test::SourceDir());
  EXPECT_TRUE(found.empty()) << Join(found);
}

// The check itself, on a small tree made for it: each wrong include is reported, each right one
// is not.
TEST(Layering, TheCheckFindsWhatBreaksTheTable) {
  const fs::path root = cantrel_test::TempDir() / "tree";
  auto write = [&](const std::string& rel, const std::string& text) {
    fs::create_directories((root / rel).parent_path());
    std::ofstream(root / rel) << text;
  };
  for (const char* header : {"song/song_data.h", "util/gne.h", "draw/dc_user.h", "app/main.h",
                             "engine/render.h", "accomp/harmony.h", "accomp/strokes.h",
                             "platform/core/files.h", "style/style_record.h", "tests/support/s.h"})
    write(header, "#pragma once\n");
  write("util/bad.cpp",
        "#include \"util/gne.h\"\n"            // own folder: fine
        "#include \"platform/core/files.h\"\n"  // below: fine
        "#include \"song/song_data.h\"\n"       // 3: above util
        "// #include \"app/main.h\"\n"          // a comment: no include
        "/*\n#include \"app/main.h\"\n*/\n"     // inside a block comment: no include
        "#include <QString>\n"                  // 8: Qt below draw
        "#include <vector>\n");
  write("engine/render.cpp",
        "#include \"accomp/harmony.h\"\n"    // 1: accomp sits above the engine
        "#include \"accomp/strokes.h\"\n"    // 2: so does every accomp header
        "#include <fluidsynth.h>\n");         // 3: outside library outside platform/core
  write("arrange/render.cpp",
        "#include \"accomp/harmony.h\"\n"  // the arranging road calls the part builders: fine
        "#include \"engine/render.h\"\n"
        "#include \"draw/dc_user.h\"\n");  // 3: draw sits above it
  write("style/s.cpp", "#include \"song/song_data.h\"\n");  // 1: style below song
  write("draw/d.cpp", "#include <QImage>\n#include \"app/main.h\"\n");  // 2: draw below app
  write("app/a.cpp", "#include <QWidget>\n#include \"draw/dc_user.h\"\n#include \"song/song_data.h\"\n");
  write("tests/util/t/t_test.cpp",
        "#include \"tests/support/s.h\"\n#include \"util/gne.h\"\n#include \"style/style_record.h\"\n");
  const std::vector<std::string> want = {
      "arrange/render.cpp:3: includes draw/dc_user.h",
      "engine/render.cpp:1: includes accomp/harmony.h",
      "engine/render.cpp:2: includes accomp/strokes.h",
      "engine/render.cpp:3: outside library <fluidsynth.h> (only platform/core)",
      "draw/d.cpp:2: includes app/main.h",
      "style/s.cpp:1: includes song/song_data.h",
      "tests/util/t/t_test.cpp:3: includes style/style_record.h",
      "util/bad.cpp:3: includes song/song_data.h",
      "util/bad.cpp:8: Qt header <QString>",
  };
  std::vector<std::string> got = Violations(root);
  std::sort(got.begin(), got.end());
  std::vector<std::string> sorted_want = want;
  std::sort(sorted_want.begin(), sorted_want.end());
  EXPECT_EQ(got, sorted_want);

  write("CMakeLists.txt",
        "cantrel_library(util util LIBS platform_core)\n"
        "cantrel_library(song song LIBS style util)\n"
        "cantrel_library(style style LIBS util song)\n"
        "cantrel_library(app_lib app LIBS song\n  util EXCLUDE app/main.cpp)\n"
        "cantrel_library(engine engine ALSO accomp LIBS song util)\n"
        "cantrel_library(music music ALSO song LIBS util style)\n");
  EXPECT_EQ(LinkViolations(root),
            (std::vector<std::string>{"CMakeLists.txt: style links song (song)",
                                      "CMakeLists.txt: music links style (style)"}));
}

}  // namespace
