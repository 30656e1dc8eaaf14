// ScriptedWindow: a main window without a screen. It records everything the logic shows and
// answers input boxes and dialogs from queues; the preview is a real pixel canvas so colours
// can be read back. Tests use it, and the command-line converter drives the logic through it.
#pragma once

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/window_port.h"

namespace picmap {

class ScriptedWindow : public WindowPort {
 public:
  ScriptedWindow();

  // ---- WindowPort ----
  std::u16string Caption() const override { return caption; }
  void SetCaption(const std::u16string& text) override;
  int32_t WindowWidth() const override { return windowWidth; }
  int32_t WindowHeight() const override { return windowHeight; }
  int32_t ScreenWidth() const override { return screenWidth; }
  int32_t ScreenHeight() const override { return screenHeight; }
  void MoveWindow(int32_t l, int32_t t) override;
  void Refresh() override { ++refreshCount; }
  void Message(const std::u16string& text, bool errorIcon) override;
  void MessageWithDetail(const std::u16string& text, const std::u16string& detail,
                         bool errorIcon) override;
  std::u16string InputBox(const std::u16string& prompt, const std::u16string& defaultText) override;
  MsgAnswer AskYesNoCancel(const std::u16string& text) override;
  std::optional<std::u16string> OpenFileDialog(const FileDialogRequest& request) override;
  std::optional<std::u16string> SaveFileDialog(const FileDialogRequest& request) override;
  std::optional<int32_t> ColorDialog(int32_t initial) override;
  void SetMenuEnabled(Menu item, bool enabled) override;
  void SetToneItemChecked(int16_t index, bool checked) override;
  void SetLabelText(Label label, const std::u16string& text) override;
  void SetSwatchColor(int32_t colour) override { swatch = colour; }
  void SetProgressMax(int32_t maximum) override { progressMax = maximum; }
  void SetProgressValue(int32_t value) override;
  void SetUndoState(bool canUndo, bool canRedo) override {
    undoEnabled = canUndo;
    redoEnabled = canRedo;
  }
  void DoEvents() override;
  int16_t ScreenPointer() const override { return screenPointer; }
  void SetScreenPointer(int16_t code) override { screenPointer = code; }
  void SetPreviewPointer(int16_t code) override { previewPointer = code; }
  bool LoadSourcePicture(const std::u16string& path, PictureLoader loader) override;
  void ReplaceSourcePicture(Picture picture) override { source = std::move(picture); }
  const Picture& SourcePicture() const override { return source; }
  double PreviewWidth() const override { return preview.width; }
  double PreviewHeight() const override { return preview.height; }
  void ClearPreview() override;
  void DrawPictureInPreview(PictureBox box, int32_t x, int32_t y, int32_t w, int32_t h) override;
  int32_t PreviewColorAt(double x, double y) const override;
  void CloseWindow() override { closed = true; }
  void EndProgram() override { ended = true; }
  void ExitProcessNow(int code) override { exitCode = code; }

  // ---- Conveniences for tests ----
  bool MenuEnabled(Menu item) const { return menuEnabled[static_cast<size_t>(item)]; }
  const std::u16string& LabelText(Label label) const { return labels[static_cast<size_t>(label)]; }
  // The text of the last message, empty when none was shown.
  std::u16string LastMessage() const { return messages.empty() ? u"" : messages.back().text; }

  // ---- Recorded state ----
  std::u16string caption;
  std::vector<std::u16string> captionHistory;
  int32_t windowWidth = 760, windowHeight = 560, screenWidth = 1920, screenHeight = 1080;
  int32_t left = 0, top = 0;
  int refreshCount = 0;

  struct ShownMessage {
    std::u16string text;
    bool errorIcon;
    std::u16string detail;
  };
  std::vector<ShownMessage> messages;

  struct Prompt {
    std::u16string prompt, defaultText;
  };
  std::vector<Prompt> prompts;
  std::deque<std::u16string> inputAnswers;  // an empty queue answers "" (cancelled)

  std::vector<std::u16string> questions;
  std::deque<MsgAnswer> questionAnswers;  // an empty queue answers Cancel

  std::vector<FileDialogRequest> openRequests, saveRequests;
  std::deque<std::optional<std::u16string>> openAnswers, saveAnswers;  // empty: cancelled
  std::vector<int32_t> colorRequests;
  std::deque<std::optional<int32_t>> colorAnswers;  // empty: cancelled

  std::array<bool, kMenuCount> menuEnabled{};
  std::array<bool, kToneItemCount> toneChecked{};
  std::array<std::u16string, kLabelCount> labels;
  bool undoEnabled = false, redoEnabled = false;
  int32_t swatch = kSwatchButtonFace;
  int32_t progressMax = 100;
  int32_t progressValue = 0;
  long progressCalls = 0;
  long doEventsCount = 0;
  int16_t screenPointer = 0;
  int16_t previewPointer = 0;

  // Picture files: a path listed here loads this picture; any other path is decoded from disk.
  std::map<std::u16string, Picture> pictureFiles;
  struct PictureLoad {
    std::u16string path;
    PictureLoader loader;
    bool ok;
  };
  std::vector<PictureLoad> loads;
  Picture source;
  Picture world;    // picBack; empty draws nothing
  Picture preview;  // picDst's pixels, 720 x 360 unless a test changes it
  bool paintsPreview = true;  // false: draws are recorded, the pixels left alone (the command line)
  struct DrawCall {
    PictureBox box;
    int32_t x, y, w, h;
  };
  std::vector<DrawCall> draws;  // since the last ClearPreview
  int clearCount = 0;

  bool closed = false;
  bool ended = false;
  std::optional<int> exitCode;

  // Hooks: run at every DoEvents (e.g. to click the cancel menu) and at every progress value.
  std::function<void()> onDoEvents;
  std::function<void(int32_t value, int32_t maximum)> onProgress;
};

}  // namespace picmap
