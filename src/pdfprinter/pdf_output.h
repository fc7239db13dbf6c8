#pragma once
// Writing one print job into a PDF file. The job is written to a temporary
// file beside its target and renamed into place, so a reader never sees half
// a file, and nothing is left behind when anything fails.
#include <cstddef>
#include <string>

namespace marrowby {

// The job as CUPS hands it over: a stream that must hold a PDF.
class JobInput {
public:
    explicit JobInput(int fd) : fd_(fd) {}
    // Reads the beginning of the job. Gives an empty text when it is a PDF,
    // otherwise why it cannot be written.
    std::string readStart();
    // Copies the whole job, from its first byte, to `out`.
    bool copyTo(int out, std::string& error);
    std::size_t bytesCopied() const { return copied_; }

private:
    int fd_;
    std::string start_;
    std::size_t copied_ = 0;
};

struct OutputResult {
    std::string error;  // empty on success
    std::string path;   // the file written
    bool ok() const { return error.empty(); }
};

// Writes the job to `target`, an absolute path of a file in an existing
// folder, creating it or replacing it (a symbolic link there is replaced by
// the file, not followed; a read-only file, a FIFO, socket or device is
// refused). A new file gets mode 0644 less the umask; a
// replaced file keeps its permission bits.
OutputResult writeJobTo(JobInput& job, const std::string& target);

// Writes the job into `folder` as `fileName`, or as "name (2).pdf" and so on
// when that name is taken; never replaces a file.
OutputResult writeJobInto(JobInput& job, const std::string& folder, const std::string& fileName);

}  // namespace marrowby
