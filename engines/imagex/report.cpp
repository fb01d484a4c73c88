#include "engines/imagex/report.h"

#include "common/console_out.h"

namespace imagex {

std::string ProgramBanner() {
    return "\r\nImageX Tool for Windows (StarBridge engine)\r\n\r\n";
}

int ReportError(const wim::Status& status) {
    int code = int(status.code);
    engine::PrintText("\r\nError " + std::to_string(code) + ": " + status.message + "\r\n");
    return code ? code : 1;
}

}  // namespace imagex
