// Text drag and drop: the drop target under offscreen Qt drag events carrying QMimeData, the drag
// source's data and its format enumerator.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "platform/qt/qt_text.h"
#include "platform/qt/text_drag_drop.h"
#include "tests/support/test_support.h"

namespace {

using cantrel_test::Sink;

struct Call {
  std::string text;
  int x, y;
};

// A window that records the drops it gets itself (the file drops).
class Window : public QWidget {
 public:
  int own_drops = 0;

 protected:
  void dragEnterEvent(QDragEnterEvent* e) override { e->acceptProposedAction(); }
  void dropEvent(QDropEvent* e) override {
    ++own_drops;
    e->acceptProposedAction();
  }
};

class DropTargetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.resize(400, 300);
    target_ = std::make_unique<CDropTarget>(
        [this](const char* t, int x, int y) { drops_.push_back({t, x, y}); },
        [this](const char* t, int x, int y) { overs_.push_back({t, x, y}); });
    target_->Register(&window_);
  }

  static std::unique_ptr<QMimeData> Text(const std::string& cp932) {
    auto mime = std::make_unique<QMimeData>();
    mime->setText(plat::ToQString(cp932));
    return mime;
  }

  // A drag enters before it moves or drops: the entered window receives the rest.
  bool Enter(QWidget* widget, const QMimeData* mime) {
    QDragEnterEvent e(QPoint(0, 0), Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &e);
    return e.isAccepted();
  }

  bool Move(const QMimeData* mime, QPoint at, Qt::MouseButtons buttons = Qt::LeftButton,
            Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QDragMoveEvent e(at, Qt::CopyAction | Qt::MoveAction, mime, buttons, mods);
    QApplication::sendEvent(&window_, &e);
    return e.isAccepted();
  }

  bool Drop(const QMimeData* mime, QPoint at) {
    QDropEvent e(QPointF(at), Qt::CopyAction | Qt::MoveAction, mime, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&window_, &e);
    return e.isAccepted();
  }

  Window window_;
  std::unique_ptr<CDropTarget> target_;
  std::vector<Call> drops_, overs_;
};

TEST_F(DropTargetTest, LongTextReachesBothCallbacksCutTo1024Bytes) {
  const struct {
    const char* name;
    std::string text;
    std::string expected;
  } cases[] = {
      {"ascii", std::string(3000, 'q'), std::string(1024, 'q')},
      // 1500 double-byte characters: 3000 bytes, cut between characters.
      {"kana", [] { std::string s; for (int i = 0; i < 1500; ++i) s += "あ"; return s; }(),
       [] { std::string s; for (int i = 0; i < 512; ++i) s += "あ"; return s; }()},
      // One byte in front: the 1024th byte would split a character, so 1023 bytes arrive.
      {"odd", [] { std::string s = "a"; for (int i = 0; i < 1500; ++i) s += "あ"; return s; }(),
       [] { std::string s = "a"; for (int i = 0; i < 511; ++i) s += "あ"; return s; }()},
      {"short", "score:Copy:3", "score:Copy:3"},
  };
  for (const auto& c : cases) {
    drops_.clear();
    overs_.clear();
    const auto mime = Text(c.text);
    EXPECT_TRUE(Enter(&window_, mime.get()));
    EXPECT_TRUE(Move(mime.get(), QPoint(12, 34))) << c.name;
    EXPECT_TRUE(Drop(mime.get(), QPoint(56, 78))) << c.name;
    ASSERT_EQ(overs_.size(), 1u) << c.name;
    ASSERT_EQ(drops_.size(), 1u) << c.name;
    EXPECT_EQ(overs_[0].text, c.expected) << c.name;
    EXPECT_EQ(drops_[0].text, c.expected) << c.name;
    EXPECT_LE(drops_[0].text.size(), CDropTarget::kMaxText);
    EXPECT_EQ(overs_[0].x, 12);
    EXPECT_EQ(overs_[0].y, 34);
    EXPECT_EQ(drops_[0].x, 56);
    EXPECT_EQ(drops_[0].y, 78);
  }
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST_F(DropTargetTest, PointIsInTheWindowsCoordinates) {
  QWidget parent;
  Window child;
  child.setParent(&parent);
  child.move(100, 50);
  CDropTarget target([this](const char* t, int x, int y) { drops_.push_back({t, x, y}); }, nullptr);
  target.Register(&child);
  const auto mime = Text("x");
  Enter(&child, mime.get());
  QDropEvent e(QPointF(5, 6), Qt::CopyAction, mime.get(), Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&child, &e);
  ASSERT_EQ(drops_.size(), 1u);
  EXPECT_EQ(drops_[0].x, 5);
  EXPECT_EQ(drops_[0].y, 6);
}

TEST_F(DropTargetTest, DataWithoutTextShowsTheBoxAndCallsNothing) {
  auto mime = std::make_unique<QMimeData>();
  mime->setData("application/x-cantrel-other", QByteArray("abc"));
  EXPECT_TRUE(Enter(&window_, mime.get()));
  EXPECT_FALSE(Move(mime.get(), QPoint(1, 1)));
  EXPECT_TRUE(Sink().Texts().empty());  // moving over shows nothing
  EXPECT_FALSE(Drop(mime.get(), QPoint(1, 1)));
  EXPECT_TRUE(drops_.empty());
  EXPECT_TRUE(overs_.empty());
  ASSERT_EQ(Sink().Count(), 1u);
  EXPECT_EQ(Sink().Texts()[0], "DRTG00000001 この形式はサポートしていません");
  EXPECT_EQ(Sink().Boxes()[0].kind, plat::BoxKind::Error);
  CDropTarget::ErrorMsg(2);
  EXPECT_EQ(Sink().Texts()[1], "DRTG00000002 CDropTarget::ErrorMsg");
}

TEST_F(DropTargetTest, LocalFilesAreTheWindowsOwnDrop) {
  auto mime = std::make_unique<QMimeData>();
  mime->setUrls({QUrl::fromLocalFile("/tmp/song.mwd")});
  mime->setText("file:///tmp/song.mwd");  // file managers send the text form as well
  Enter(&window_, mime.get());
  Move(mime.get(), QPoint(3, 3));
  Drop(mime.get(), QPoint(3, 3));
  EXPECT_EQ(window_.own_drops, 1);
  EXPECT_TRUE(drops_.empty());
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST_F(DropTargetTest, DragOverKeepsTheKeyState) {
  const auto mime = Text("t");
  Enter(&window_, mime.get());
  Move(mime.get(), QPoint(1, 1), Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_EQ(target_->last_key_state(), kKeyLeftButton | kKeyShift | kKeyControl);
  auto none = std::make_unique<QMimeData>();
  Move(none.get(), QPoint(1, 1), Qt::RightButton, Qt::AltModifier);
  EXPECT_EQ(target_->last_key_state(), kKeyRightButton | kKeyAlt);  // stored without text too
}

TEST_F(DropTargetTest, EnterCallsNothing) {
  const auto mime = Text("t");
  QDragEnterEvent in(QPoint(1, 1), Qt::CopyAction | Qt::MoveAction, mime.get(), Qt::LeftButton,
                     Qt::NoModifier);
  QApplication::sendEvent(&window_, &in);
  EXPECT_TRUE(in.isAccepted());
  EXPECT_EQ(in.dropAction(), Qt::CopyAction);
  EXPECT_TRUE(overs_.empty());
  EXPECT_TRUE(drops_.empty());
}

TEST_F(DropTargetTest, RevokedTargetNoLongerSeesDrags) {
  target_->Revoke();
  const auto mime = Text("t");
  Enter(&window_, mime.get());
  Drop(mime.get(), QPoint(1, 1));
  EXPECT_TRUE(drops_.empty());
  EXPECT_EQ(window_.own_drops, 1);
}

TEST(DragSource, OffersPlainTextOnly) {
  const char block[] = "score:Import:12";
  auto* src = new DROPSRC("DROPSRC.TXT", block, static_cast<int>(sizeof block));
  EXPECT_EQ(src->AddRef(), 1);
  EXPECT_STREQ(src->name(), "DROPSRC.TXT");
  EXPECT_EQ(src->QueryGetData("text/plain"), kDragOk);
  EXPECT_EQ(src->QueryGetData("text/html"), kDragNotImplemented);
  std::string data;
  EXPECT_EQ(src->GetData("text/plain", &data), kDragOk);
  EXPECT_EQ(data, std::string(block, sizeof block));  // a copy of the whole block
  EXPECT_EQ(src->GetData("image/png", &data), kDragNotImplemented);
  std::unique_ptr<QMimeData> mime(src->MakeMimeData());
  EXPECT_EQ(mime->text(), QString("score:Import:12"));
  EXPECT_EQ(src->GiveFeedback(kDropEffectCopy), kDragUseDefaultCursors);
  EXPECT_EQ(src->Release(), 0);  // deleted here
}

TEST(DragSource, JapaneseTextCrossesAsUnicode) {
  const std::string text = "ドラッグ";
  auto* src = new DROPSRC("DROPSRC.TXT", text.c_str(), static_cast<int>(text.size()));
  src->AddRef();
  std::unique_ptr<QMimeData> mime(src->MakeMimeData());
  EXPECT_EQ(mime->text(), QString::fromUtf8("\xE3\x83\x89\xE3\x83\xA9\xE3\x83\x83\xE3\x82\xB0"));
  std::string back;
  EXPECT_TRUE(CDropTarget::TextOf(mime.get(), &back));
  EXPECT_EQ(back, text);
  src->Release();
}

TEST(DragSource, ContinuesWhileTheLeftButtonIsDown) {
  auto* src = new DROPSRC("x", "t", 1);
  src->AddRef();
  const struct {
    bool escape;
    int keys;
    int result;
  } cases[] = {
      {false, kKeyLeftButton, kDragOk},
      {false, kKeyLeftButton | kKeyShift, kDragOk},
      {false, 0, kDragDrop},
      {false, kKeyRightButton, kDragDrop},
      {true, kKeyLeftButton, kDragCancel},  // the drag loop ends on Escape
  };
  for (const auto& c : cases) {
    EXPECT_EQ(src->QueryContinueDrag(c.escape, c.keys), c.result) << c.keys;
  }
  src->Release();
}

TEST(DragSource, InterfacesCountReferences) {
  auto* src = new DROPSRC("x", "t", 1);
  void* face = nullptr;
  for (DragInterface which :
       {DragInterface::kUnknown, DragInterface::kDropSource, DragInterface::kDataObject}) {
    EXPECT_EQ(src->QueryInterface(which, &face), kDragOk);
    EXPECT_EQ(face, src);
  }
  face = src;
  EXPECT_EQ(src->QueryInterface(DragInterface::kEnumFormats, &face), kDragNoInterface);
  EXPECT_EQ(face, nullptr);
  EXPECT_EQ(src->Release(), 2);
  EXPECT_EQ(src->Release(), 1);
  EXPECT_EQ(src->Release(), 0);
}

TEST(FormatEnumerator, EdgeCases) {
  auto* src = new DROPSRC("x", "t", 1);
  src->AddRef();
  FMTETC* e = nullptr;
  ASSERT_EQ(src->EnumFormatEtc(1, &e), kDragOk);
  ASSERT_NE(e, nullptr);
  std::string records[5];
  int fetched = -1;
  EXPECT_EQ(e->Next(5, records, &fetched), kDragFalse);  // one record of five asked for
  EXPECT_EQ(fetched, 1);
  EXPECT_EQ(records[0], "text/plain");
  EXPECT_EQ(e->Next(5, records, &fetched), kDragFalse);  // none left
  EXPECT_EQ(fetched, 0);
  EXPECT_EQ(e->Reset(), kDragOk);
  EXPECT_EQ(e->Next(1, records, nullptr), kDragOk);       // exactly one: no fetched count asked
  EXPECT_EQ(e->Next(0, records, &fetched), kDragOk);      // nothing asked, nothing copied
  EXPECT_EQ(fetched, 0);
  EXPECT_EQ(e->Reset(), kDragOk);
  EXPECT_EQ(e->Skip(1), kDragOk);
  EXPECT_EQ(e->Next(1, records, &fetched), kDragFalse);
  EXPECT_EQ(e->Reset(), kDragOk);
  EXPECT_EQ(e->Skip(3), kDragFalse);                       // stops at the end
  EXPECT_EQ(e->Next(1, records, &fetched), kDragFalse);
  EXPECT_EQ(e->Skip(-1), kDragFalse);
  FMTETC* clone = reinterpret_cast<FMTETC*>(1);
  EXPECT_EQ(e->Clone(&clone), kDragNotImplemented);
  EXPECT_EQ(clone, nullptr);
  void* face = nullptr;
  EXPECT_EQ(e->QueryInterface(DragInterface::kDataObject, &face), kDragNoInterface);
  EXPECT_EQ(e->QueryInterface(DragInterface::kUnknown, &face), kDragOk);
  EXPECT_EQ(e->Release(), 1);
  EXPECT_EQ(e->Release(), 0);
  // Either direction gives an enumerator.
  ASSERT_EQ(src->EnumFormatEtc(2, &e), kDragOk);
  e->Release();
  src->Release();
}

}  // namespace
