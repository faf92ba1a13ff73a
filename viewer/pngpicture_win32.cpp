#include "pngpicture_win32.h"

#include "dibsurface_win32.h"
#include "widetext.h"

#include <wincodec.h>
#include <windows.h>

namespace {

// Releases a COM interface when it goes.
template<typename Interface> class CComRef
{
public:
    CComRef() = default;
    ~CComRef()
    {
        if (m_pointer != nullptr)
            m_pointer->Release();
    }
    CComRef(const CComRef &) = delete;
    CComRef &operator=(const CComRef &) = delete;

    Interface **Out() { return &m_pointer; }
    Interface *operator->() const { return m_pointer; }
    Interface *Get() const { return m_pointer; }

private:
    Interface *m_pointer = nullptr;
};

// The imaging component is a COM server: the thread joins COM for the write and leaves again,
// unless it had joined already in a way of its own.
class CComUse
{
public:
    CComUse()
        : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))
    { }
    ~CComUse()
    {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    CComUse(const CComUse &) = delete;
    CComUse &operator=(const CComUse &) = delete;

private:
    HRESULT m_result;
};

bool Encode(const CDibSurface &surface, const std::wstring &path)
{
    DIBSECTION section {};
    const HGDIOBJ bitmap = GetCurrentObject(surface.Dc(), OBJ_BITMAP);
    if (GetObjectW(bitmap, sizeof section, &section) != sizeof section
        || section.dsBm.bmBits == nullptr)
        return false;
    const UINT width = static_cast<UINT>(surface.Width());
    const UINT height = static_cast<UINT>(surface.Height());
    const UINT stride = width * 4;

    CComRef<IWICImagingFactory> factory;
    CComRef<IWICBitmap> pixels;
    CComRef<IWICStream> stream;
    CComRef<IWICBitmapEncoder> encoder;
    CComRef<IWICBitmapFrameEncode> frame;
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(factory.Out())))
        && SUCCEEDED(factory->CreateBitmapFromMemory(
            width, height, GUID_WICPixelFormat32bppBGR, stride, stride * height,
            static_cast<BYTE *>(section.dsBm.bmBits), pixels.Out()))
        && SUCCEEDED(factory->CreateStream(stream.Out()))
        && SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE))
        && SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Out()))
        && SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache))
        && SUCCEEDED(encoder->CreateNewFrame(frame.Out(), nullptr))
        && SUCCEEDED(frame->Initialize(nullptr)) && SUCCEEDED(frame->SetSize(width, height))
        && SUCCEEDED(frame->WriteSource(pixels.Get(), nullptr)) && SUCCEEDED(frame->Commit())
        && SUCCEEDED(encoder->Commit());
}

} // namespace

bool SavePng(const CDibSurface &surface, const std::string &path)
{
    const CComUse com;
    return Encode(surface, WideFromUtf8(path));
}
