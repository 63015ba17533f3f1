// The WAV file output, driven by the frame clock.
#include "Output.h"
#include "WavWriter.h"

#include "platform/FrameClock.h"

#include <algorithm>
#include <vector>

namespace midas {
namespace {

class WavOutput final : public Output {
 public:
  WavOutput(std::unique_ptr<WavWriter> writer, int rate, RenderFunction render)
      : writer_(std::move(writer)), rate_(rate), render_(std::move(render)), baseFrame_(platform::FrameCount()) {
    token_ = platform::SubscribeFrames([this](uint64_t count) { OnFrame(count); });
  }
  ~WavOutput() override { platform::UnsubscribeFrames(token_); }
  const char* Name() const override { return "wav"; }

 private:
  // Frames shown since the output opened -> the audio frames due, rounded to nearest:
  // exactly rate/60 per shown frame with the remainder carried.
  void OnFrame(uint64_t count) {
    if (count <= baseFrame_) return;
    const uint64_t shown = count - baseFrame_;
    const uint64_t due = (shown * static_cast<uint64_t>(rate_) * 2 + 60) / 120;
    while (writer_->frames() < due) {
      const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(due - writer_->frames(), 4096));
      scratch_.resize(2 * n);
      render_(scratch_.data(), n);
      if (!writer_->Append(scratch_.data(), n)) return;
    }
  }

  std::unique_ptr<WavWriter> writer_;
  int rate_;
  RenderFunction render_;
  uint64_t baseFrame_;
  int token_ = 0;
  std::vector<int16_t> scratch_;
};

}  // namespace

OpenedOutput OpenWavOutput(const std::string& path, int rate, RenderFunction render) {
  platform::Opened<WavWriter> writer = WavWriter::Open(path, rate);
  if (!writer.opened) return OpenedOutput::Failure(writer.error);
  return OpenedOutput::Of(std::make_unique<WavOutput>(std::move(writer.opened), rate, std::move(render)));
}

}  // namespace midas
