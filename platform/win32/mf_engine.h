#pragma once

#include <functional>
#include <memory>

#include "platform/win32/clip_thread.h"
#include "platform/win32/frame_target.h"
#include "platform/win32/media_engine_api.h"

namespace tarnlight::win32 {

// Media Foundation's Media Engine as a frame server: it has no window of
// its own; each new frame is copied out of it and drawn in the surface
// window by Paint, as every window of the program draws. Its libraries are
// loaded at run time, so the program still starts where they are missing
// (the N editions, Server Core); Create then returns null.
//
// The engine holds its lock while it loads a clip and while it copies a
// frame, so no call into it is made on the GUI thread: each clip's engine
// is made, driven and shut down on a thread of its own, which posts what it
// learns to the window as `message` (tagged with the clip's number) and
// fetches each new frame as the engine reports it.
class MfEngine final : public ClipThreadEngine {
 public:
  using CreateAttributesFn = HRESULT(WINAPI*)(IMFAttributes**, UINT32);
  using MakeFactoryFn =
      std::function<HRESULT(mfe::IMFMediaEngineClassFactory**)>;
  // What a clip's thread needs of mfplat.dll and of COM. `started` holds
  // MFStartup's start-up until the engine and every clip thread let go.
  struct Library {
    CreateAttributesFn createAttributes;
    MakeFactoryFn makeFactory;
    std::shared_ptr<void> started;
  };

  static std::unique_ptr<MfEngine> Create(HWND window, UINT message);
  MfEngine(HWND window, UINT message, Library library,
           std::shared_ptr<FrameTarget> frames)
      : ClipThreadEngine(window, message),
        library_(std::move(library)),
        frames_(std::move(frames)) {}
  ~MfEngine() override { Close(); }

  void Open(const std::string& path) override;
  void Place(PixelSize size) override;
  bool Paint(HDC dc, PixelSize area) override;
  void Close() override;

 private:
  Library library_;
  std::shared_ptr<FrameTarget> frames_;
  // The frame drawn last; the clip's thread fills the other one.
  Frame shown_;
};

}  // namespace tarnlight::win32
