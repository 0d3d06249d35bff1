#include <windows.h>
// After windows.h:
#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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
    void Reset() {
        if (object_ != nullptr) object_->Release();
        object_ = nullptr;
    }
    T* operator->() const { return object_; }
    T* get() const { return object_; }

private:
    T* object_ = nullptr;
};

// Media Foundation's functions, loaded when first needed rather than imported: on a Windows without the
// media features (the N editions) the show then starts all the same, silent, and says why.
struct MediaFoundationApi {
    decltype(&MFStartup) startup = nullptr;
    decltype(&MFShutdown) shutdown = nullptr;
    decltype(&MFCreateFile) createFile = nullptr;
    decltype(&MFCreateSourceResolver) createSourceResolver = nullptr;
    decltype(&MFCreateMediaType) createMediaType = nullptr;
    decltype(&MFCreateSourceReaderFromMediaSource) createSourceReader = nullptr;
    std::string missing;  // why it cannot be used; empty when every function was found
};

template <class Function>
void Load(HMODULE module, const char* name, Function& function, std::string& missing) {
    // Through a function type without parameters, which any function pointer may be cast to and from.
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    if (function == nullptr && missing.empty()) missing = std::string("Media Foundation has no ") + name;
}

const MediaFoundationApi& MediaFoundation() {
    static const MediaFoundationApi api = [] {
        MediaFoundationApi loaded;
        for (const char* library : {"MFPlat.DLL", "MFReadWrite.dll"}) {
            if (GetModuleHandleA(library) == nullptr && LoadLibraryA(library) == nullptr) {
                loaded.missing = std::string("Media Foundation is not installed (no ") + library + ")";
                return loaded;
            }
        }
        const HMODULE platform = GetModuleHandleA("MFPlat.DLL");
        Load(platform, "MFStartup", loaded.startup, loaded.missing);
        Load(platform, "MFShutdown", loaded.shutdown, loaded.missing);
        Load(platform, "MFCreateFile", loaded.createFile, loaded.missing);
        Load(platform, "MFCreateSourceResolver", loaded.createSourceResolver, loaded.missing);
        Load(platform, "MFCreateMediaType", loaded.createMediaType, loaded.missing);
        Load(GetModuleHandleA("MFReadWrite.dll"), "MFCreateSourceReaderFromMediaSource",
             loaded.createSourceReader, loaded.missing);
        return loaded;
    }();
    return api;
}

// COM and Media Foundation for the calling thread, for as long as a decode runs.
class MediaFoundationSession {
public:
    MediaFoundationSession() {
        if (!MediaFoundation().missing.empty()) return;
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        comInitialized_ = SUCCEEDED(com);  // a thread already in another apartment keeps it
        started_ = SUCCEEDED(MediaFoundation().startup(MF_VERSION, MFSTARTUP_LITE));
    }
    ~MediaFoundationSession() {
        if (started_) MediaFoundation().shutdown();
        if (comInitialized_) CoUninitialize();
    }
    MediaFoundationSession(const MediaFoundationSession&) = delete;
    MediaFoundationSession& operator=(const MediaFoundationSession&) = delete;

    bool Started() const { return started_; }
    // Why it did not start.
    static std::string Unavailable() {
        const std::string& missing = MediaFoundation().missing;
        return missing.empty() ? "Media Foundation is not available" : missing;
    }

private:
    bool comInitialized_ = false;
    bool started_ = false;
};

std::string Reason(const char* what, HRESULT hr) {
    char text[96];
    std::snprintf(text, sizeof text, "%s (0x%08lx)", what, static_cast<unsigned long>(hr));
    return text;
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
    HRESULT hr = MediaFoundation().createFile(MF_ACCESSMODE_READ, MF_OPENMODE_FAIL_IF_NOT_EXIST,
                                              MF_FILEFLAGS_NONE, path.c_str(), stream.Out());
    if (FAILED(hr)) return hr;
    ComRef<IMFSourceResolver> resolver;
    if (FAILED(hr = MediaFoundation().createSourceResolver(resolver.Out()))) return hr;
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
    hr = MediaFoundation().createSourceReader(source.get(), nullptr, reader);
    if (FAILED(hr)) source->Shutdown();
    return hr;
}

constexpr DWORD kAudio = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);

// A reader on the first audio stream of the file alone, decoding to float at the stream's own rate and
// channel count; `channels` and `rate` receive them. Needs COM and Media Foundation on the calling thread.
std::string OpenFloatReader(const std::wstring& path, ComRef<IMFSourceReader>& reader, int& channels,
                            int& rate) {
    HRESULT hr = OpenReader(path, reader.Out());
    if (FAILED(hr)) return Reason("not a format Media Foundation reads", hr);
    reader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE);
    if (FAILED(hr = reader->SetStreamSelection(kAudio, TRUE))) return Reason("no audio stream", hr);
    ComRef<IMFMediaType> wanted;
    if (FAILED(hr = MediaFoundation().createMediaType(wanted.Out()))) return Reason("no media type", hr);
    wanted->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
    wanted->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_Float);
    if (FAILED(hr = reader->SetCurrentMediaType(kAudio, nullptr, wanted.get()))) {
        return Reason("cannot decode the audio to float", hr);
    }
    ComRef<IMFMediaType> actual;
    if (FAILED(hr = reader->GetCurrentMediaType(kAudio, actual.Out())))
        return Reason("no decoded format", hr);
    UINT32 count = 0, perSecond = 0, bits = 0;
    actual->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &count);
    actual->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &perSecond);
    actual->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits);
    if (count == 0 || perSecond == 0 || bits != 32) return "no audio format";
    channels = static_cast<int>(count);
    rate = static_cast<int>(perSecond);
    return {};
}

// Reads the file on the thread that calls Read (the channel's decoding thread), which opens it again there,
// in its own COM apartment: the reader is made, used and released on that one thread.
class MediaFoundationDecoder final : public Decoder {
public:
    MediaFoundationDecoder(std::wstring path, int channels, int rate)
        : path_(std::move(path)), channels_(channels), rate_(rate) {}

    int Channels() const override { return channels_; }
    int SampleRate() const override { return rate_; }

    int64_t Read(float* out, int64_t frames, std::string& error) override {
        if (!Start(error)) return 0;
        int64_t got = 0;
        while (got < frames) {
            if (next_ == pending_.size() / channels_) {
                if (ended_ || !Fill(error)) break;
                continue;
            }
            const int64_t count = std::min<int64_t>(frames - got, pending_.size() / channels_ - next_);
            std::copy_n(&pending_[next_ * channels_], count * channels_, out + got * channels_);
            next_ += static_cast<size_t>(count);
            got += count;
        }
        return got;
    }

    ~MediaFoundationDecoder() override {
        reader_.Reset();
        session_.reset();
    }

private:
    // The reader on this thread, once; false (with the reason, the first time) when it cannot be had.
    bool Start(std::string& error) {
        if (session_ != nullptr) return reader_.get() != nullptr;
        session_ = std::make_unique<MediaFoundationSession>();
        int channels = 0, rate = 0;
        const std::string why = session_->Started() ? OpenFloatReader(path_, reader_, channels, rate)
                                                    : MediaFoundationSession::Unavailable();
        if (why.empty() && (channels != channels_ || rate != rate_)) {
            error = "decoding stopped: the file changed";
            reader_.Reset();
        } else if (!why.empty()) {
            error = "decoding stopped: " + why;
            reader_.Reset();
        }
        return reader_.get() != nullptr;
    }

    // The next decoded sample into `pending_`; false at the end or where decoding fails.
    bool Fill(std::string& error) {
        pending_.clear();
        next_ = 0;
        DWORD flags = 0;
        ComRef<IMFSample> sample;
        HRESULT hr = reader_->ReadSample(kAudio, 0, nullptr, &flags, nullptr, sample.Out());
        if (FAILED(hr)) {
            error = "decoding stopped: " + Reason("decoding failed", hr);
            ended_ = true;
            return false;
        }
        if (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) {
            error = "decoding stopped: the audio format changes within the file";
            ended_ = true;
            return false;
        }
        if (flags & MF_SOURCE_READERF_ENDOFSTREAM) ended_ = true;
        if (sample.get() == nullptr) return !ended_;
        ComRef<IMFMediaBuffer> buffer;
        BYTE* data = nullptr;
        DWORD bytes = 0;
        if (FAILED(hr = sample->ConvertToContiguousBuffer(buffer.Out())) ||
            FAILED(hr = buffer->Lock(&data, nullptr, &bytes))) {
            error = "decoding stopped: " + Reason("no sample data", hr);
            ended_ = true;
            return false;
        }
        // Whole frames only.
        const size_t samples = bytes / sizeof(float) - bytes / sizeof(float) % channels_;
        pending_.resize(samples);
        std::memcpy(pending_.data(), data, samples * sizeof(float));
        buffer->Unlock();
        return true;
    }

    const std::wstring path_;
    const int channels_, rate_;
    std::unique_ptr<MediaFoundationSession> session_;  // made on the reading thread, released there
    ComRef<IMFSourceReader> reader_;
    std::vector<float> pending_;  // one decoded sample's frames
    size_t next_ = 0;             // the first of them not read yet
    bool ended_ = false;
};

}  // namespace

OpenResult OpenMediaFoundationStream(const char* path) {
    std::wstring full = FullPath(path);
    if (full.empty()) return OpenResult::Failure("bad file name");
    const DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return OpenResult::Failure("no such file");
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return OpenResult::Failure("a folder, not a file");
    // The header read here, to know the format; the channel's thread reads the frames.
    int channels = 0, rate = 0;
    {
        const MediaFoundationSession session;
        if (!session.Started()) return OpenResult::Failure(MediaFoundationSession::Unavailable());
        ComRef<IMFSourceReader> reader;
        const std::string why = OpenFloatReader(full, reader, channels, rate);
        if (!why.empty()) return OpenResult::Failure(why);
    }
    return {std::make_unique<MediaFoundationDecoder>(std::move(full), channels, rate), {}};
}

DecodeResult DecodeMediaFoundationStream(const char* path) {
    return DecodeAll(OpenMediaFoundationStream(path));
}

OpenResult OpenModuleUnsupported(const char*, int) {
    return OpenResult::Failure("tracker modules are not played on Windows");
}

DecodeResult DecodeModuleUnsupported(const char* path, int rate) {
    return DecodeAll(OpenModuleUnsupported(path, rate));
}

}  // namespace audio
