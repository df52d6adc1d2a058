// A printer that keeps what it is asked to do, for the print tests.
#pragma once

#include "platform/qt/printer.h"

#include <QImage>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace print_test {

struct PrinterLog {
  int dialogs = 0;
  int begins = 0;
  int newPages = 0;
  int ends = 0;
  struct Drawn {
    int page;
    plat::Rect target;
    QImage image;
  };
  std::vector<Drawn> drawn;
};

class RecordingPrinter : public plat::Printer {
 public:
  RecordingPrinter(PrinterLog* log, plat::PrintSetup setup, bool confirm = true,
                   bool canBegin = true)
      : log_(log), setup_(setup), confirm_(confirm), canBegin_(canBegin) {}
  bool ShowDialog() override {
    ++log_->dialogs;
    return confirm_;
  }
  plat::PrintSetup Setup() const override { return setup_; }
  bool BeginDocument() override {
    if (!canBegin_) return false;
    ++log_->begins;
    return true;
  }
  bool NewPage() override {
    ++log_->newPages;
    return true;
  }
  void DrawImage(const plat::Rect& target, const QImage& image) override {
    log_->drawn.push_back({log_->newPages, target, image});
  }
  bool EndDocument() override {
    ++log_->ends;
    return true;
  }

 private:
  PrinterLog* log_;
  plat::PrintSetup setup_;
  bool confirm_;
  bool canBegin_;
};

// A4 portrait at 600 dots per inch.
inline plat::PrintSetup A4At600() {
  plat::PrintSetup s;
  s.orientation = 1;
  s.paperSize = plat::kPaperA4;
  s.paperWidth = 2100;
  s.paperLength = 2970;
  s.xResolution = 600;
  s.yResolution = 600;
  return s;
}

// For its lifetime, the program's printer is the one the function makes.
class ScopedPrinter {
 public:
  explicit ScopedPrinter(plat::PrinterFactory factory) {
    plat::InstallPrinterFactory(std::move(factory));
  }
  ~ScopedPrinter() { plat::InstallPrinterFactory(nullptr); }
  ScopedPrinter(const ScopedPrinter&) = delete;
  ScopedPrinter& operator=(const ScopedPrinter&) = delete;
};

// The value of one line of pdfinfo's report ("Pages", "Page size"); "" when missing.
inline std::string PdfInfoLine(const std::string& info, const std::string& key) {
  std::istringstream in(info);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key + ":", 0) == 0) {
      const size_t v = line.find_first_not_of(' ', key.size() + 1);
      return v == std::string::npos ? std::string() : line.substr(v);
    }
  }
  return std::string();
}

}  // namespace print_test
