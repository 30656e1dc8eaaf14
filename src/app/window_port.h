// The main window as the conversion logic sees it. The logic (frmMainLogic) never touches a
// GUI toolkit: everything it needs of the window goes through this one port. The desktop
// window and the command-line converter implement it; tests use ScriptedWindow.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/picture.h"
#include "support/platform.h"

namespace picmap {

// Menu items of the main window, named like its controls. The five tone items are addressed
// by their index through the tone-item operations.
enum class Menu {
  mnuFile,
  mnuOpen,
  mnuSave,
  mnuQuit,
  mnuArea,
  mnuWorld,
  mnuWest,
  mnuEast,
  mnuNorth,
  mnuSouth,
  mnuColor,
  mnuBackColor,
  mnuTone,
  mnuConvert,
  mnuPolygon,
  mnuCompress,
  mnuCancel,
};
constexpr int kMenuCount = static_cast<int>(Menu::mnuCancel) + 1;
constexpr int16_t kToneItemCount = 5;

// Labels whose text the logic sets. Tool tips and the fixed texts (lblBackColor2, the frame
// captions) are static and set by the window itself.
enum class Label {
  lblWest,
  lblEast,
  lblNorth,
  lblSouth,
  lblMapSize,
  lblImgSize,
  lblPixelSize,
  lblBackColor1,
  lblFigureNum,
};
constexpr int kLabelCount = static_cast<int>(Label::lblFigureNum) + 1;

// The picture boxes whose content can be drawn into the preview.
enum class PictureBox {
  picSrc,   // the opened picture
  picBack,  // the 2:1 world picture stored with the program
};

// Which decoder reads a picture file: names ending in "PNG" take the PNG decoder.
enum class PictureLoader { Standard, Png };

// What a file dialog (open or save) is shown with. The filter is the description|pattern|...
// text; the implementation matches the patterns in any letter case. filterIndex is 1-based.
struct FileDialogRequest {
  std::u16string title;
  std::u16string fileName;
  std::u16string filter;
  int32_t filterIndex = 1;
};

// The swatch colour that stands for "no colour set": the system's button-face colour.
constexpr int32_t kSwatchButtonFace = -1;

// A control point's mark in the preview, in preview pixels: where its picture pixel lies and
// where its longitude/latitude lies (the two meet when the fit is exact).
struct PreviewMark {
  double x = 0, y = 0;
  int32_t number = 0;    // from 1; 0 for the point whose longitude/latitude is still to come
  bool onMap = false;    // the longitude/latitude end, else the picture pixel end
  bool enabled = true;
};

class WindowPort {
 public:
  virtual ~WindowPort() = default;

  // ---- Window ----
  virtual std::u16string Caption() const = 0;
  virtual void SetCaption(const std::u16string& caption) = 0;
  virtual int32_t WindowWidth() const = 0;
  virtual int32_t WindowHeight() const = 0;
  virtual int32_t ScreenWidth() const = 0;
  virtual int32_t ScreenHeight() const = 0;
  virtual void MoveWindow(int32_t left, int32_t top) = 0;
  // Repaints the window at once (after a dialog closed over it).
  virtual void Refresh() = 0;

  // ---- Messages and input ----
  // A plain message box with an OK button, or (errorIcon) the error form of ShowError. The
  // default routes both to the message-box port of support/platform.h.
  virtual void Message(const std::u16string& text, bool errorIcon);
  // The same with a detail (why it failed, with the numbers); the default adds it as a line.
  virtual void MessageWithDetail(const std::u16string& text, const std::u16string& detail,
                                 bool errorIcon);
  // A question answered Yes, No or Cancel (a closed box answers Cancel). The default routes it
  // to the message-box port of support/platform.h.
  virtual MsgAnswer AskYesNoCancel(const std::u16string& text);
  // An input box; the entered text, or an empty text when it was cancelled.
  virtual std::u16string InputBox(const std::u16string& prompt,
                                  const std::u16string& defaultText) = 0;

  // ---- Common dialogs: std::nullopt when cancelled or failed ----
  // The folder the open dialog starts in.
  virtual std::u16string PictureFolder() const { return Program().folder; }
  // Open: the read-only check box is hidden.
  virtual std::optional<std::u16string> OpenFileDialog(const FileDialogRequest& request) = 0;
  // Save: no overwrite question, no extension added to a typed name.
  virtual std::optional<std::u16string> SaveFileDialog(const FileDialogRequest& request) = 0;
  // Colour: the full custom-colour part open; initial -1 means no initial colour.
  virtual std::optional<int32_t> ColorDialog(int32_t initial) = 0;

  // ---- Menus, labels, swatch, progress ----
  virtual void SetMenuEnabled(Menu item, bool enabled) = 0;
  virtual void SetToneItemChecked(int16_t index, bool checked) = 0;
  virtual void SetLabelText(Label label, const std::u16string& text) = 0;
  // 0x00BBGGRR, or kSwatchButtonFace.
  virtual void SetSwatchColor(int32_t colour) = 0;
  virtual void SetProgressMax(int32_t maximum) = 0;
  virtual void SetProgressValue(int32_t value) = 0;
  // Whether there is a placement to return to, or one undone to bring back.
  virtual void SetUndoState(bool canUndo, bool canRedo) {
    (void)canUndo;
    (void)canRedo;
  }

  // ---- Events and pointers ----
  // Lets pending window events run (the cancel menu among them). The logic calls it only
  // about every 30 ms, however often the loops ask for it.
  virtual void DoEvents() = 0;
  // The screen pointer (the hourglass during long runs); codes of support/platform.h.
  virtual int16_t ScreenPointer() const = 0;
  virtual void SetScreenPointer(int16_t code) = 0;
  virtual void SetPreviewPointer(int16_t code) = 0;

  // ---- Picture boxes ----
  // Loads a picture file into picSrc, replacing the previous picture. False when the file
  // cannot be read; picSrc then keeps its previous picture.
  virtual bool LoadSourcePicture(const std::u16string& path, PictureLoader loader) = 0;
  // Replaces the picture in picSrc by one made from it (a warped picture): same file, new pixels.
  virtual void ReplaceSourcePicture(Picture picture) = 0;
  // The picture in picSrc (empty before the first load), read directly by generation.
  virtual const Picture& SourcePicture() const = 0;
  int32_t SourceWidth() const { return SourcePicture().width; }
  int32_t SourceHeight() const { return SourcePicture().height; }
  // Colour of a picSrc pixel, -1 outside the picture.
  int32_t SourcePixel(int32_t x, int32_t y) const;

  // The preview picDst, measured in its own pixels.
  virtual double PreviewWidth() const = 0;
  virtual double PreviewHeight() const = 0;
  virtual void ClearPreview() = 0;
  // Draws the whole picture of `box` stretched into the rectangle (x, y, w, h) of the preview.
  virtual void DrawPictureInPreview(PictureBox box, int32_t x, int32_t y, int32_t w,
                                    int32_t h) = 0;
  // Draws the control points' marks over everything else.
  virtual void DrawMarks(const std::vector<PreviewMark>& marks) { (void)marks; }
  // The control points or their fit have changed: their table is out of date.
  virtual void ControlPointsChanged() {}
  // Draws the visible reference layers of the logic that lie on this side of the picture.
  virtual void DrawReferenceLayers(bool overPicture) { (void)overPicture; }
  // The colour of the preview at a point (0x00BBGGRR); -1 outside the preview.
  virtual int32_t PreviewColorAt(double x, double y) const = 0;
  // The preview has been drawn anew (a new picture, extents or view): what the window shows
  // about it elsewhere, such as the position under the pointer, is brought up to date.
  virtual void PreviewDrawn() {}

  // ---- Ending ----
  // Closes the main window; the window then runs frmMainLogic::Form_Unload.
  virtual void CloseWindow() = 0;
  // Ends the program normally (start-up failures end it before the window is shown).
  virtual void EndProgram() = 0;
  // Ends the process at once with the exit code, releasing nothing. (A scripted window
  // records the call and returns; the logic then returns too.)
  virtual void ExitProcessNow(int code) = 0;
};

// Lets the library's pointer stack (ScreenMousePointer) set the window's screen pointer.
// The executables install it with SetPointerPort for as long as the window lives.
class WindowPointerPort : public PointerPort {
 public:
  explicit WindowPointerPort(WindowPort& window) : window_(window) {}
  int16_t ScreenPointer() const override { return window_.ScreenPointer(); }
  void SetScreenPointer(int16_t code) override { window_.SetScreenPointer(code); }

 private:
  WindowPort& window_;
};

}  // namespace picmap
