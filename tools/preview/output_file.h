#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace preview {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// An output that appears under its name only once it is complete. It is
// written beside its target under a temporary name, so a run that fails
// leaves no half-written file behind and an older file stays untouched.
class OutputFile {
public:
    // Creates the temporary file at once, so that an output that cannot be
    // written is reported before the run.
    explicit OutputFile(std::string target);
    // Removes the temporary file unless it was committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* Stream() const { return stream_.get(); }
    const std::string& Target() const { return target_; }

    // Closes the file, reporting any write that failed. Closing every output
    // before committing any keeps a run that fails from leaving some of them.
    void Close();
    // Puts the closed file in the target's place.
    void Commit();

private:
    std::string target_;
    std::string temporary_;
    File stream_;
    bool committed_ = false;
};

} // namespace preview
