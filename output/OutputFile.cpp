#include "output/OutputFile.h"

bool OutputFile::open(const char* path) {
    file_.reset(std::fopen(path, "w"));
    failed_ = false;
    return file_ != nullptr;
}

bool OutputFile::write(const char* data, std::size_t size) {
    if (!file_ || failed_) {
        return false;
    }
    failed_ = std::fwrite(data, 1, size, file_.get()) != size;
    return !failed_;
}

bool OutputFile::close() {
    if (!file_) {
        return false;
    }
    const bool ok = !failed_ && std::fflush(file_.get()) == 0;
    return std::fclose(file_.release()) == 0 && ok;
}
