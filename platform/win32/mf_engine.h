#pragma once

#include <memory>

#include "platform/win32/media_engine_api.h"
#include "platform/win32/video_engine.h"

namespace tarnlight::win32 {

// Media Foundation's Media Engine, drawing into the surface window itself.
// Its libraries are loaded at run time, so the program still starts where
// they are missing (the N editions, Server Core); Create then returns null.
// The engine's notifications arrive on its own threads and are posted to
// the window as `message`, tagged with the number of the clip they concern.
class MfEngine final : public VideoEngine {
 public:
  using CreateAttributesFn = HRESULT(WINAPI*)(IMFAttributes**, UINT32);
  using ShutdownFn = HRESULT(WINAPI*)();
  // What the engine needs of mfplat.dll, after MFStartup.
  struct Library {
    CreateAttributesFn createAttributes;
    ShutdownFn shutdown;
  };

  static std::unique_ptr<MfEngine> Create(HWND window, UINT message);
  // Takes over the factory's reference and, at the end, the library's
  // start-up.
  MfEngine(HWND window, UINT message, Library library,
           mfe::IMFMediaEngineClassFactory* factory)
      : window_(window),
        message_(message),
        library_(library),
        factory_(factory) {}
  ~MfEngine() override;
  MfEngine(const MfEngine&) = delete;
  MfEngine& operator=(const MfEngine&) = delete;

  void Open(const std::string& path) override;
  News Notified(UINT message, WPARAM wp, LPARAM lp) override;
  PixelSize Size() const override;
  PlatformError Error() const override;
  void Play() override;
  void Place(PixelSize size) override;
  void Close() override;
  std::uint64_t Progress() const override;

 private:
  class Notify;

  void CreateEngine();
  [[noreturn]] void Fail(HRESULT hr, const char* what);

  HWND window_;
  UINT message_;
  Library library_;
  mfe::IMFMediaEngineClassFactory* factory_;
  mfe::IMFMediaEngine* engine_ = nullptr;
  Notify* notify_ = nullptr;
  WPARAM clip_ = 0;
};

}  // namespace tarnlight::win32
