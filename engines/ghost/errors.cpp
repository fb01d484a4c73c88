#include "engines/ghost/errors.h"

namespace ghost {

std::string ResultText(const Status& s) {
    if (s.ok()) return "";
    if (s.code == kErrCancelled) return "^C";
    return u8"错误 " + std::to_string(s.code) + u8"：" + s.message + "\r\n";
}

}  // namespace ghost
