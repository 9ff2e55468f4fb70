#pragma once

// The parts of Media Foundation's Media Engine (mfmediaengine.h in the
// Windows SDK) that the player uses, declared from Microsoft's published
// interface definitions, since MinGW-w64 ships no header for them. The
// method order is the vtable order and must not change; methods the player
// never calls take untyped pointers.
// clang-format off
#include "platform/win32/win32_api.h"
#include <mfobjects.h>
// clang-format on

// winbase.h maps this name to GetTickCount; the engine has a method of it.
#undef GetCurrentTime

namespace tarnlight::win32::mfe {

// {B44392DA-499B-446B-A4CB-005FEAD0E6D5}
inline constexpr CLSID kClassFactory = {
    0xb44392da,
    0x499b,
    0x446b,
    {0xa4, 0xcb, 0x00, 0x5f, 0xea, 0xd0, 0xe6, 0xd5}};
// {4D645ACE-26AA-4688-9BE1-DF3516990B93}
inline constexpr IID kIidClassFactory = {
    0x4d645ace,
    0x26aa,
    0x4688,
    {0x9b, 0xe1, 0xdf, 0x35, 0x16, 0x99, 0x0b, 0x93}};
// {FEE7C112-E776-42B5-9BBF-0048524E2BD5}
inline constexpr IID kIidNotify = {
    0xfee7c112,
    0xe776,
    0x42b5,
    {0x9b, 0xbf, 0x00, 0x48, 0x52, 0x4e, 0x2b, 0xd5}};
// Attribute keys for CreateInstance.
// {C60381B8-83A4-41F8-A3D0-DE05076849A9}
inline constexpr GUID kAttrCallback = {
    0xc60381b8,
    0x83a4,
    0x41f8,
    {0xa3, 0xd0, 0xde, 0x05, 0x07, 0x68, 0x49, 0xa9}};
// MF_MEDIA_ENGINE_DXGI_MANAGER {065702DA-1094-486D-8617-EE7CC4EE4648}
inline constexpr GUID kAttrDxgiManager = {
    0x065702da,
    0x1094,
    0x486d,
    {0x86, 0x17, 0xee, 0x7c, 0xc4, 0xee, 0x46, 0x48}};
// MF_MEDIA_ENGINE_VIDEO_OUTPUT_FORMAT {5066893C-8CF9-42BC-8B8A-472212E52726}:
// with no playback window, it makes the engine a frame server.
inline constexpr GUID kAttrVideoOutputFormat = {
    0x5066893c,
    0x8cf9,
    0x42bc,
    {0x8b, 0x8a, 0x47, 0x22, 0x12, 0xe5, 0x27, 0x26}};
// DXGI_FORMAT_B8G8R8A8_UNORM: the frames' format, which GDI draws as it is.
inline constexpr UINT32 kOutputBgra = 87;

// MF_MEDIA_ENGINE_EVENT values the player reacts to.
enum Event : DWORD {
  kEventAbort = 4,
  kEventError = 5,
  kEventLoadedMetadata = 10,
  kEventEnded = 19,
};

// MFStartup's version word for Windows 7 and later, and its full start.
inline constexpr ULONG kMfVersion = 0x00020070;
inline constexpr DWORD kMfStartupFull = 0;

struct IMFMediaError : public IUnknown {
  virtual USHORT STDMETHODCALLTYPE GetErrorCode() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetExtendedErrorCode() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetErrorCode(DWORD error) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetExtendedErrorCode(HRESULT error) = 0;
};

struct IMFMediaEngineNotify : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE EventNotify(DWORD event, DWORD_PTR param1,
                                                DWORD param2) = 0;
};

struct IMFMediaEngine : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetError(IMFMediaError** error) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetErrorCode(DWORD error) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSourceElements(IUnknown* elements) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSource(BSTR url) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentSource(BSTR* url) = 0;
  virtual USHORT STDMETHODCALLTYPE GetNetworkState() = 0;
  virtual DWORD STDMETHODCALLTYPE GetPreload() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPreload(DWORD preload) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBuffered(IUnknown** ranges) = 0;
  virtual HRESULT STDMETHODCALLTYPE Load() = 0;
  virtual HRESULT STDMETHODCALLTYPE CanPlayType(BSTR type, DWORD* answer) = 0;
  virtual USHORT STDMETHODCALLTYPE GetReadyState() = 0;
  virtual BOOL STDMETHODCALLTYPE IsSeeking() = 0;
  virtual double STDMETHODCALLTYPE GetCurrentTime() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCurrentTime(double seconds) = 0;
  virtual double STDMETHODCALLTYPE GetStartTime() = 0;
  virtual double STDMETHODCALLTYPE GetDuration() = 0;
  virtual BOOL STDMETHODCALLTYPE IsPaused() = 0;
  virtual double STDMETHODCALLTYPE GetDefaultPlaybackRate() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDefaultPlaybackRate(double rate) = 0;
  virtual double STDMETHODCALLTYPE GetPlaybackRate() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPlaybackRate(double rate) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPlayed(IUnknown** ranges) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSeekable(IUnknown** ranges) = 0;
  virtual BOOL STDMETHODCALLTYPE IsEnded() = 0;
  virtual BOOL STDMETHODCALLTYPE GetAutoPlay() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetAutoPlay(BOOL autoPlay) = 0;
  virtual BOOL STDMETHODCALLTYPE GetLoop() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetLoop(BOOL loop) = 0;
  virtual HRESULT STDMETHODCALLTYPE Play() = 0;
  virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
  virtual BOOL STDMETHODCALLTYPE GetMuted() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMuted(BOOL muted) = 0;
  virtual double STDMETHODCALLTYPE GetVolume() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVolume(double volume) = 0;
  virtual BOOL STDMETHODCALLTYPE HasVideo() = 0;
  virtual BOOL STDMETHODCALLTYPE HasAudio() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetNativeVideoSize(DWORD* cx,
                                                       DWORD* cy) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVideoAspectRatio(DWORD* cx,
                                                        DWORD* cy) = 0;
  virtual HRESULT STDMETHODCALLTYPE Shutdown() = 0;
  virtual HRESULT STDMETHODCALLTYPE TransferVideoFrame(IUnknown* surface,
                                                       const void* source,
                                                       const RECT* target,
                                                       const void* border) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnVideoStreamTick(LONGLONG* pts) = 0;
};

struct IMFMediaEngineClassFactory : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(DWORD flags,
                                                   IMFAttributes* attributes,
                                                   IMFMediaEngine** engine) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateTimeRange(IUnknown** range) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateError(IMFMediaError** error) = 0;
};

}  // namespace tarnlight::win32::mfe
