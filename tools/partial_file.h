// An output written under a name of its own beside the one it is for: nothing is left half-written under the
// final name, and no file already there, the user's or an earlier run's, is touched before the output is
// complete.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

class PartialFile {
public:
    // Creates `path`.partXXXXXX, six characters chosen so that the file is new (it is created exclusively),
    // open for writing. Null, with the system's reason in `error`, when it cannot be created.
    static std::unique_ptr<PartialFile> Create(const std::string& path, std::string& error);
    // Removes the file unless it was committed.
    ~PartialFile();
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    const std::string& Path() const { return path_; }  // the final name
    const std::string& Name() const { return name_; }  // its own
    FILE* File() const { return file_; }

    // Closes the file and puts it in place of Path(); false, with the system's reason in `error`, when what
    // was written to File() or the close or the rename failed. The file is then removed with this object.
    bool Commit(std::string& error);

private:
    PartialFile(std::string path, std::string name, FILE* file, int slot);

    std::string path_, name_;
    FILE* file_;
    int slot_;  // where the signal handler finds the name, or -1
    bool committed_ = false;
};

// From here on SIGINT, SIGTERM and SIGHUP (unless ignored) remove the partial files then open before they end
// the process as they would have.
void RemovePartialFilesOnSignals();
