#include <windows.h>
// After windows.h:
#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "audio/windows/platform.h"

namespace audio {
namespace {

// Owns one reference to a COM object.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (object_ != nullptr) object_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T** Out() { return &object_; }
    T* operator->() const { return object_; }
    T* get() const { return object_; }

private:
    T* object_ = nullptr;
};

// COM and Media Foundation for the calling thread, for as long as a decode runs.
class MediaFoundationSession {
public:
    MediaFoundationSession() {
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        comInitialized_ = SUCCEEDED(com);  // a thread already in another apartment keeps it
        started_ = SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_LITE));
    }
    ~MediaFoundationSession() {
        if (started_) MFShutdown();
        if (comInitialized_) CoUninitialize();
    }
    MediaFoundationSession(const MediaFoundationSession&) = delete;
    MediaFoundationSession& operator=(const MediaFoundationSession&) = delete;

    bool Started() const { return started_; }

private:
    bool comInitialized_ = false;
    bool started_ = false;
};

std::string Reason(const char* what, HRESULT hr) {
    char text[96];
    std::snprintf(text, sizeof text, "%s (0x%08lx)", what, static_cast<unsigned long>(hr));
    return text;
}

DecodeResult Success(DecodedTrack track) {
    if (track.Frames() == 0) return DecodeResult::Failure("no audio in it");
    return {std::make_shared<const DecodedTrack>(std::move(track)), {}};
}

// The full path of `path`, in UTF-16; empty when it cannot be had.
std::wstring FullPath(const char* path) {
    const int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), length);
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (written == 0 || written >= size) return {};
    full.resize(written);
    return full;
}

// A source reader on the file, the media source chosen from the content: a byte stream handler that does not
// match the file's extension is tried when the one that does cannot read it.
HRESULT OpenReader(const std::wstring& path, IMFSourceReader** reader) {
    ComRef<IMFByteStream> stream;
    HRESULT hr = MFCreateFile(MF_ACCESSMODE_READ, MF_OPENMODE_FAIL_IF_NOT_EXIST, MF_FILEFLAGS_NONE,
                              path.c_str(), stream.Out());
    if (FAILED(hr)) return hr;
    ComRef<IMFSourceResolver> resolver;
    if (FAILED(hr = MFCreateSourceResolver(resolver.Out()))) return hr;
    MF_OBJECT_TYPE type = MF_OBJECT_INVALID;
    ComRef<IUnknown> object;
    hr = resolver->CreateObjectFromByteStream(
        stream.get(), path.c_str(),
        MF_RESOLUTION_MEDIASOURCE | MF_RESOLUTION_CONTENT_DOES_NOT_HAVE_TO_MATCH_EXTENSION_OR_MIME_TYPE |
            MF_RESOLUTION_READ,
        nullptr, &type, object.Out());
    if (FAILED(hr)) return hr;
    ComRef<IMFMediaSource> source;
    if (FAILED(hr = object->QueryInterface(IID_PPV_ARGS(source.Out())))) return hr;
    hr = MFCreateSourceReaderFromMediaSource(source.get(), nullptr, reader);
    if (FAILED(hr)) source->Shutdown();
    return hr;
}

constexpr DWORD kAudio = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);

}  // namespace

DecodeResult DecodeMediaFoundationStream(const char* path) {
    const std::wstring full = FullPath(path);
    if (full.empty()) return DecodeResult::Failure("bad file name");
    if (GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return DecodeResult::Failure("no such file");
    }
    const MediaFoundationSession session;
    if (!session.Started()) return DecodeResult::Failure("Media Foundation is not available");

    ComRef<IMFSourceReader> reader;
    HRESULT hr = OpenReader(full, reader.Out());
    if (FAILED(hr)) return DecodeResult::Failure(Reason("not a format Media Foundation reads", hr));

    // The first audio stream alone, decoded to float at its own rate and channel count.
    reader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE);
    if (FAILED(hr = reader->SetStreamSelection(kAudio, TRUE))) {
        return DecodeResult::Failure(Reason("no audio stream", hr));
    }
    ComRef<IMFMediaType> wanted;
    if (FAILED(hr = MFCreateMediaType(wanted.Out())))
        return DecodeResult::Failure(Reason("no media type", hr));
    wanted->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
    wanted->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_Float);
    if (FAILED(hr = reader->SetCurrentMediaType(kAudio, nullptr, wanted.get()))) {
        return DecodeResult::Failure(Reason("cannot decode the audio to float", hr));
    }
    ComRef<IMFMediaType> actual;
    if (FAILED(hr = reader->GetCurrentMediaType(kAudio, actual.Out()))) {
        return DecodeResult::Failure(Reason("no decoded format", hr));
    }
    UINT32 channels = 0, rate = 0, bits = 0;
    actual->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels);
    actual->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate);
    actual->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits);
    if (channels == 0 || rate == 0 || bits != 32) return DecodeResult::Failure("no audio format");

    DecodedTrack track{{}, static_cast<int>(channels), static_cast<int>(rate)};
    for (;;) {
        DWORD flags = 0;
        ComRef<IMFSample> sample;
        if (FAILED(hr = reader->ReadSample(kAudio, 0, nullptr, &flags, nullptr, sample.Out()))) {
            return DecodeResult::Failure(Reason("decoding failed", hr));
        }
        if (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) {
            return DecodeResult::Failure("the audio format changes within the file");
        }
        if (sample.get() != nullptr) {
            ComRef<IMFMediaBuffer> buffer;
            if (FAILED(hr = sample->ConvertToContiguousBuffer(buffer.Out()))) {
                return DecodeResult::Failure(Reason("no sample data", hr));
            }
            BYTE* data = nullptr;
            DWORD bytes = 0;
            if (FAILED(hr = buffer->Lock(&data, nullptr, &bytes))) {
                return DecodeResult::Failure(Reason("no sample data", hr));
            }
            const size_t size = track.samples.size();
            track.samples.resize(size + bytes / sizeof(float));
            std::memcpy(track.samples.data() + size, data, bytes / sizeof(float) * sizeof(float));
            buffer->Unlock();
        }
        if (flags & MF_SOURCE_READERF_ENDOFSTREAM) break;
    }
    // Whole frames only.
    track.samples.resize(track.samples.size() - track.samples.size() % channels);
    track.samples.shrink_to_fit();
    return Success(std::move(track));
}

DecodeResult DecodeModuleUnsupported(const char*, int) {
    return DecodeResult::Failure("tracker modules are not played on Windows");
}

}  // namespace audio
