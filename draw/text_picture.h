// Texts at given positions on a white picture, one instance per host control: the lyric lines
// and the title line of the printed score and the score image.
//
// An item's text is drawn into the box from (x, y) that is (font height x bytes of the text)
// wide and font height high, with the item's DrawText format, in the surface's current font
// and text colour. Instances are only added; items gather until cleared.
#pragma once

#include "draw/offscreen_picture.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

class CTextPicture : public COffScreenPicture {
 public:
  static constexpr int kCapacity = 33;
  static constexpr int kMaxItems = 64;

  CTextPicture(COffScreenControl* control, const Rect& rect, int value);
  ~CTextPicture() override;

  // Another instance; a full picture is reported (the picture base's box) and nothing is
  // added (false).
  bool AddPicture(COffScreenControl* control, const Rect& rect, int value);

  // Appends an item with its own copy of the text (CP932); no redraw. An instance that holds
  // its 64 items already, or no instance, is reported and nothing is added (false).
  static bool AddText(int instance, int x, int y, const std::string& text, int spare,
                      uint32_t format);
  // One item per character down from (x, y): 16 pixels apart, or font height - 6 when the
  // font height passes 30. An empty text adds one empty item.
  static bool AddVerticalText(int instance, int x, int y, const std::string& text, int spare,
                              uint32_t format);
  static void ClearTexts(int instance);
  static void DrawTexts(int instance);
  static void DrawAll();
  static void Blit(int instance);
  static void BlitAll();

  // Stores the height as the instance's font height and selects a Shift-JIS font of it.
  static void SelectFont(int instance, std::optional<plat::LogFont>& previous, int height);
  static void RestoreFont(int instance, std::optional<plat::LogFont>& previous);

  // Writes the instance's surface as an image file whose format follows the extension: a
  // 24-bit .bmp, or another format the image writers know at quality 100. 1 when written;
  // 0 after the BMPF box.
  static int SaveImage(int instance, const std::filesystem::path& path);

  static int Count();
  static int ItemCount(int instance);
  static int FontHeight(int instance);
  static plat::Dc* Surface(int instance);
  static COffScreenControl* Control(int instance);
  static int Width(int instance);
  static int Height(int instance);

  static void ResetState();

 private:
  static void OnPress(int x, int y, int id);
  static void OnRelease(int x, int y, int id);
};
