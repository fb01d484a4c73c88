#include "engines/bootice/image_device.h"

namespace bootice {

std::unique_ptr<ImageDevice> ImageDevice::Open(const std::string& path, bool writable,
                                               std::string& error) {
    std::unique_ptr<ImageDevice> device(new ImageDevice());
    auto mode = std::ios::binary | std::ios::in | (writable ? std::ios::out : std::ios::in);
    device->file_.open(path, mode);
    if (!device->file_) {
        error = "cannot open the disk image " + path;
        return nullptr;
    }
    device->file_.seekg(0, std::ios::end);
    device->sectors_ = uint64_t(device->file_.tellg()) / 512;
    device->writable_ = writable;
    return device;
}

bool ImageDevice::Read(uint64_t lba, uint32_t count, uint8_t* out, std::string& error) {
    if (lba + count > sectors_) {
        error = "read past the end of the disk";
        return false;
    }
    file_.clear();
    file_.seekg(std::streamoff(lba * 512));
    if (!file_.read(reinterpret_cast<char*>(out), std::streamsize(count) * 512)) {
        error = "read failed";
        return false;
    }
    return true;
}

bool ImageDevice::Write(uint64_t lba, uint32_t count, const uint8_t* data, std::string& error) {
    if (!writable_) {
        error = "the disk is open for reading only";
        return false;
    }
    if (lba + count > sectors_) {
        error = "write past the end of the disk";
        return false;
    }
    file_.clear();
    file_.seekp(std::streamoff(lba * 512));
    if (!file_.write(reinterpret_cast<const char*>(data), std::streamsize(count) * 512) ||
        !file_.flush()) {
        error = "write failed";
        return false;
    }
    return true;
}

}  // namespace bootice
