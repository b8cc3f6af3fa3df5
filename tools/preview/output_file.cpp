#include "tools/preview/output_file.h"

#include "tools/preview/failure.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace preview {

namespace {

[[noreturn]] void FailToWrite(const std::string& target)
{
    throw Failure("cannot write " + target + ": " + std::strerror(errno));
}

} // namespace

OutputFile::OutputFile(std::string target)
    : target_(std::move(target)), temporary_(target_ + ".XXXXXX")
{
    // The rename at the end would fail; better to say so before the run.
    struct stat status;
    if (::stat(target_.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        errno = EISDIR;
        FailToWrite(target_);
    }
    const int descriptor = ::mkstemp(temporary_.data());
    if (descriptor == -1)
        FailToWrite(target_);
    // mkstemp makes the file private to us; the finished file gets the
    // permissions any new file of the user's would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(descriptor, 0666 & ~mask);
    stream_.reset(::fdopen(descriptor, "wb"));
    if (!stream_) {
        const int error = errno;
        ::close(descriptor);
        ::unlink(temporary_.c_str());
        errno = error;
        FailToWrite(target_);
    }
}

OutputFile::~OutputFile()
{
    if (committed_)
        return;
    stream_.reset();
    ::unlink(temporary_.c_str());
}

void OutputFile::Close()
{
    // A write that failed earlier leaves its mark on the stream; one still
    // buffered fails in fclose.
    std::FILE* stream = stream_.release();
    const bool written = !std::ferror(stream);
    if (std::fclose(stream) != 0 || !written)
        FailToWrite(target_);
}

void OutputFile::Commit()
{
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0)
        FailToWrite(target_);
    committed_ = true;
}

} // namespace preview
