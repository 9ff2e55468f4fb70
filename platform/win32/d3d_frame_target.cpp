#include <d3d10.h>
#include <d3d11.h>

#include <cstring>
#include <mutex>

#include "platform/win32/com_ptr.h"
#include "platform/win32/frame_target.h"

namespace tarnlight::win32 {
namespace {

using CreateDeviceFn = HRESULT(WINAPI*)(IDXGIAdapter*, D3D_DRIVER_TYPE, HMODULE,
                                        UINT, const D3D_FEATURE_LEVEL*, UINT,
                                        UINT, ID3D11Device**,
                                        D3D_FEATURE_LEVEL*,
                                        ID3D11DeviceContext**);
using CreateManagerFn = HRESULT(WINAPI*)(UINT*, IMFDXGIDeviceManager**);

class D3dFrameTarget final : public FrameTarget {
 public:
  D3dFrameTarget(CreateDeviceFn createDevice, CreateManagerFn createManager)
      : createDevice_(createDevice), createManager_(createManager) {}
  ~D3dFrameTarget() override {
    DropTextures();
    Release(manager_);
    Release(context_);
    Release(device_);
  }
  D3dFrameTarget(const D3dFrameTarget&) = delete;
  D3dFrameTarget& operator=(const D3dFrameTarget&) = delete;

  IUnknown* Manager() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!tried_) {
      tried_ = true;
      if (FAILED(MakeDevice())) {
        Release(manager_);
        Release(context_);
        Release(device_);
      }
    }
    return manager_;
  }

  HRESULT Take(mfe::IMFMediaEngine& engine, PixelSize size,
               Frame& frame) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!manager_) return E_UNEXPECTED;
    HRESULT hr = Fit(size);
    RECT all{0, 0, size.width, size.height};
    if (SUCCEEDED(hr))
      hr = engine.TransferVideoFrame(target_, nullptr, &all, nullptr);
    if (FAILED(hr)) return hr;
    context_->CopyResource(staging_, target_);
    D3D11_MAPPED_SUBRESOURCE mapped{};
    hr = context_->Map(staging_, 0, D3D11_MAP_READ, 0, &mapped);
    if (FAILED(hr)) return hr;
    frame.size = size;
    frame.pixels.resize(std::size_t(size.width) * std::size_t(size.height));
    const auto* row = static_cast<const unsigned char*>(mapped.pData);
    for (int y = 0; y < size.height; ++y, row += mapped.RowPitch)
      std::memcpy(&frame.pixels[std::size_t(y) * std::size_t(size.width)], row,
                  std::size_t(size.width) * 4);
    context_->Unmap(staging_, 0);
    return S_OK;
  }

 private:
  // Video support is asked for where the driver has it (the engine then
  // decodes on the device); the software rasterizer stands in for a
  // missing adapter.
  HRESULT CreateDevice() {
    HRESULT hr = E_FAIL;
    const UINT base = D3D11_CREATE_DEVICE_BGRA_SUPPORT;
    for (D3D_DRIVER_TYPE type :
         {D3D_DRIVER_TYPE_HARDWARE, D3D_DRIVER_TYPE_WARP})
      for (UINT flags : {base | D3D11_CREATE_DEVICE_VIDEO_SUPPORT, base}) {
        hr = createDevice_(nullptr, type, nullptr, flags, nullptr, 0,
                           D3D11_SDK_VERSION, &device_, nullptr, &context_);
        if (SUCCEEDED(hr)) return hr;
      }
    return hr;
  }

  HRESULT MakeDevice() {
    HRESULT hr = CreateDevice();
    if (FAILED(hr)) return hr;
    // The engine uses the device from its own threads too.
    ID3D10Multithread* multithread = nullptr;
    if (SUCCEEDED(
            device_->QueryInterface(__uuidof(ID3D10Multithread),
                                    reinterpret_cast<void**>(&multithread)))) {
      multithread->SetMultithreadProtected(TRUE);
      multithread->Release();
    }
    UINT token = 0;
    hr = createManager_(&token, &manager_);
    if (SUCCEEDED(hr)) hr = manager_->ResetDevice(device_, token);
    return hr;
  }

  HRESULT Fit(PixelSize size) {
    if (target_ && size.width == size_.width && size.height == size_.height)
      return S_OK;
    DropTextures();
    D3D11_TEXTURE2D_DESC desc{};
    desc.Width = UINT(size.width);
    desc.Height = UINT(size.height);
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    desc.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
    desc.SampleDesc.Count = 1;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_RENDER_TARGET;
    HRESULT hr = device_->CreateTexture2D(&desc, nullptr, &target_);
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    if (SUCCEEDED(hr)) hr = device_->CreateTexture2D(&desc, nullptr, &staging_);
    if (FAILED(hr)) DropTextures();
    size_ = size;
    return hr;
  }

  void DropTextures() {
    Release(staging_);
    Release(target_);
  }

  CreateDeviceFn createDevice_;
  CreateManagerFn createManager_;
  std::mutex mutex_;
  bool tried_ = false;
  ID3D11Device* device_ = nullptr;
  ID3D11DeviceContext* context_ = nullptr;
  IMFDXGIDeviceManager* manager_ = nullptr;
  ID3D11Texture2D* target_ = nullptr;
  ID3D11Texture2D* staging_ = nullptr;
  PixelSize size_;
};

}  // namespace

std::shared_ptr<FrameTarget> MakeD3dFrameTarget(HMODULE mfplat) {
  // Kept loaded for the life of the process, as mfplat.dll is.
  HMODULE d3d11 =
      LoadLibraryExW(L"d3d11.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  auto createDevice = BoundIn<CreateDeviceFn>(d3d11, "D3D11CreateDevice");
  auto createManager =
      BoundIn<CreateManagerFn>(mfplat, "MFCreateDXGIDeviceManager");
  if (!createDevice || !createManager) return nullptr;
  return std::make_shared<D3dFrameTarget>(createDevice, createManager);
}

}  // namespace tarnlight::win32
