#include "app/scripted_window.h"

#include <cmath>

#include "app/picture_loader.h"

namespace picmap {

namespace {

constexpr int32_t kClearColour = 0xFFFFFF;

template <class T>
std::optional<T> TakeAnswer(std::deque<std::optional<T>>& queue) {
  if (queue.empty()) return std::nullopt;
  std::optional<T> a = std::move(queue.front());
  queue.pop_front();
  return a;
}

}  // namespace

ScriptedWindow::ScriptedWindow() : preview(720, 360, kClearColour) { menuEnabled.fill(true); }

void ScriptedWindow::SetCaption(const std::u16string& text) {
  caption = text;
  captionHistory.push_back(text);
}

void ScriptedWindow::MoveWindow(int32_t l, int32_t t) {
  left = l;
  top = t;
}

void ScriptedWindow::Message(const std::u16string& text, bool errorIcon) {
  messages.push_back({text, errorIcon, u""});
}

void ScriptedWindow::MessageWithDetail(const std::u16string& text, const std::u16string& detail,
                                       bool errorIcon) {
  messages.push_back({text, errorIcon, detail});
}

std::u16string ScriptedWindow::InputBox(const std::u16string& prompt,
                                        const std::u16string& defaultText) {
  prompts.push_back({prompt, defaultText});
  if (inputAnswers.empty()) return u"";
  std::u16string a = std::move(inputAnswers.front());
  inputAnswers.pop_front();
  return a;
}

MsgAnswer ScriptedWindow::AskYesNoCancel(const std::u16string& text) {
  questions.push_back(text);
  if (questionAnswers.empty()) return MsgAnswer::Cancel;
  const MsgAnswer a = questionAnswers.front();
  questionAnswers.pop_front();
  return a;
}

std::optional<std::u16string> ScriptedWindow::OpenFileDialog(const FileDialogRequest& request) {
  openRequests.push_back(request);
  return TakeAnswer(openAnswers);
}

std::optional<std::u16string> ScriptedWindow::SaveFileDialog(const FileDialogRequest& request) {
  saveRequests.push_back(request);
  return TakeAnswer(saveAnswers);
}

std::optional<int32_t> ScriptedWindow::ColorDialog(int32_t initial) {
  colorRequests.push_back(initial);
  return TakeAnswer(colorAnswers);
}

void ScriptedWindow::SetMenuEnabled(Menu item, bool enabled) {
  menuEnabled[static_cast<size_t>(item)] = enabled;
}

void ScriptedWindow::SetToneItemChecked(int16_t index, bool checked) {
  if (index >= 0 && index < kToneItemCount) toneChecked[static_cast<size_t>(index)] = checked;
}

void ScriptedWindow::SetLabelText(Label label, const std::u16string& text) {
  labels[static_cast<size_t>(label)] = text;
}

void ScriptedWindow::SetProgressValue(int32_t value) {
  progressValue = value;
  ++progressCalls;
  if (onProgress) onProgress(value, progressMax);
}

void ScriptedWindow::DoEvents() {
  ++doEventsCount;
  if (onDoEvents) onDoEvents();
}

bool ScriptedWindow::LoadSourcePicture(const std::u16string& path, PictureLoader loader) {
  std::optional<Picture> p;
  if (auto it = pictureFiles.find(path); it != pictureFiles.end())
    p = it->second;
  else
    p = LoadPictureFile(path, loader);
  loads.push_back({path, loader, p.has_value()});
  if (!p) return false;
  source = std::move(*p);
  return true;
}

void ScriptedWindow::ClearPreview() {
  preview = Picture(preview.width, preview.height, kClearColour);
  draws.clear();
  ++clearCount;
}

// Nearest-neighbour stretch of the whole picture into the rectangle, clipped to the canvas.
void ScriptedWindow::DrawPictureInPreview(PictureBox box, int32_t x, int32_t y, int32_t w,
                                          int32_t h) {
  draws.push_back({box, x, y, w, h});
  const Picture& pic = box == PictureBox::picSrc ? source : world;
  if (!paintsPreview || pic.Empty() || w <= 0 || h <= 0) return;
  for (int32_t py = std::max(y, 0); py < std::min<int64_t>(int64_t{y} + h, preview.height); ++py) {
    const auto sy = static_cast<int32_t>(int64_t{py - y} * pic.height / h);
    for (int32_t px = std::max(x, 0); px < std::min<int64_t>(int64_t{x} + w, preview.width);
         ++px) {
      const auto sx = static_cast<int32_t>(int64_t{px - x} * pic.width / w);
      preview.Set(px, py, pic.At(sx, sy));
    }
  }
}

int32_t ScriptedWindow::PreviewColorAt(double x, double y) const {
  if (!(x >= 0 && y >= 0 && x < preview.width && y < preview.height)) return -1;
  const auto px = static_cast<int32_t>(std::floor(x));
  const auto py = static_cast<int32_t>(std::floor(y));
  return preview.Contains(px, py) ? preview.At(px, py) : -1;
}

}  // namespace picmap
