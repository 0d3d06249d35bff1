#include "tools/partial_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <iterator>
#include <random>

namespace {

// The names the signal handler removes; a handler is given no context, so they live here. A slot's name is
// complete before it is marked ready, and the slot is freed only once its file is gone or renamed.
struct Slot {
    std::atomic<bool> taken{false};  // by a PartialFile
    std::atomic<bool> ready{false};  // its name is complete
    char name[PATH_MAX];
};
Slot slots[8];

int TakeSlot(const std::string& name) {
    if (name.size() >= PATH_MAX) return -1;
    for (int i = 0; i < static_cast<int>(std::size(slots)); ++i) {
        bool expected = false;
        if (!slots[i].taken.compare_exchange_strong(expected, true)) continue;
        std::memcpy(slots[i].name, name.c_str(), name.size() + 1);
        slots[i].ready = true;
        return i;
    }
    return -1;
}

void FreeSlot(int slot) {
    if (slot < 0) return;
    slots[slot].ready = false;
    slots[slot].taken = false;
}

void RemoveAndEnd(int signal) {
    for (Slot& slot : slots) {
        if (slot.ready) unlink(slot.name);
    }
    // The handler was reset to the default on entry: the signal now ends the process as it would have.
    raise(signal);
}

}  // namespace

std::unique_ptr<PartialFile> PartialFile::Create(const std::string& path, std::string& error) {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<size_t> letter(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = path + ".part";
        for (int i = 0; i < 6; ++i) name += kLetters[letter(random)];
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) break;
        // Registered before anything can fail, so that the destructor or a signal removes it from here on.
        const int slot = TakeSlot(name);
        FILE* file = fdopen(fd, "wb");
        if (file == nullptr) {
            error = std::strerror(errno);
            close(fd);
            unlink(name.c_str());
            FreeSlot(slot);
            return nullptr;
        }
        return std::unique_ptr<PartialFile>(new PartialFile(path, std::move(name), file, slot));
    }
    error = std::strerror(errno);
    return nullptr;
}

PartialFile::PartialFile(std::string path, std::string name, FILE* file, int slot)
    : path_(std::move(path)), name_(std::move(name)), file_(file), slot_(slot) {}

PartialFile::~PartialFile() {
    if (file_ != nullptr) std::fclose(file_);
    if (committed_) return;
    unlink(name_.c_str());
    FreeSlot(slot_);
}

bool PartialFile::Commit(std::string& error) {
    const bool written = std::fflush(file_) == 0 && !std::ferror(file_);
    const int writeError = errno;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed) {
        error = std::strerror(written ? errno : writeError);
        return false;
    }
    if (std::rename(name_.c_str(), path_.c_str()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    // Freed only once renamed: a signal in between finds no file under the old name to remove.
    FreeSlot(slot_);
    committed_ = true;
    return true;
}

void RemovePartialFilesOnSignals() {
    struct sigaction action = {};
    action.sa_handler = RemoveAndEnd;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous;
        sigaction(signal, nullptr, &previous);
        if (previous.sa_handler != SIG_IGN) sigaction(signal, &action, nullptr);
    }
}
