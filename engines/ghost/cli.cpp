#include "engines/ghost/cli.h"

#include "common/cmdline.h"

namespace ghost {

namespace {

using engine::EqualsNoCase;
using engine::LowerAscii;
using engine::StartsWithNoCase;

bool AllDigits(const std::string& s) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

Status Usage(const std::string& what) {
    return Fail(kErrUsage, u8"无法识别的参数：" + what);
}

// Words the command interpreter split off a value that holds blanks (the program
// passes image paths of -CHKIMG and passwords unquoted) are joined back.
std::string JoinValue(const std::vector<std::string>& args, size_t* i, std::string value) {
    while (*i + 1 < args.size() && !args[*i + 1].empty() && args[*i + 1][0] != '-') {
        value += " " + args[++*i];
    }
    return value;
}

// -clone,mode=M,src=S,dst=D. Image paths may hold commas, so the path side is cut
// at the last (restore) or first (backup) ",dst=".
Status ParseClone(const std::string& arg, JobRequest* r) {
    std::string rest = arg.substr(7);
    if (!StartsWithNoCase(rest, "mode=")) return Usage(arg);
    size_t comma = rest.find(',');
    if (comma == std::string::npos) return Usage(arg);
    std::string mode = LowerAscii(rest.substr(5, comma - 5));
    rest = rest.substr(comma + 1);
    if (!StartsWithNoCase(rest, "src=")) return Usage(arg);
    rest = rest.substr(4);
    std::string lower = LowerAscii(rest);
    size_t dst = mode == "pload" ? lower.rfind(",dst=") : lower.find(",dst=");
    if (dst == std::string::npos) return Usage(arg);
    std::string src = rest.substr(0, dst), target = rest.substr(dst + 5);
    if (mode == "pdump") {
        r->kind = JobRequest::kBackup;
        if (!ParsePartitionId(src, &r->source)) return Usage(u8"src=" + src);
        if (target.empty()) return Usage(u8"dst=");
        r->image = target;
    } else if (mode == "pload") {
        r->kind = JobRequest::kRestore;
        size_t colon = src.rfind(':');
        if (colon == std::string::npos || !AllDigits(src.substr(colon + 1))) {
            return Usage(u8"src=" + src);
        }
        r->image = src.substr(0, colon);
        r->imagePartition = uint32_t(std::stoul(src.substr(colon + 1)));
        if (r->image.empty()) return Usage(u8"src=" + src);
        if (!ParsePartitionId(target, &r->target)) return Usage(u8"dst=" + target);
    } else if (mode == "pcopy") {
        r->kind = JobRequest::kCopy;
        if (!ParsePartitionId(src, &r->source)) return Usage(u8"src=" + src);
        if (!ParsePartitionId(target, &r->target)) return Usage(u8"dst=" + target);
    } else {
        return Usage(u8"mode=" + mode);
    }
    return Ok();
}

}  // namespace

bool ParsePartitionId(const std::string& text, PartitionId* id) {
    size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    std::string d = text.substr(0, colon), p = text.substr(colon + 1);
    if (!AllDigits(d) || !AllDigits(p)) return false;
    id->disk = std::stoi(d);
    id->part = std::stoi(p);
    return id->valid();
}

Status ParseJobRequest(const std::vector<std::string>& args, JobRequest* r) {
    *r = JobRequest();
    bool haveJob = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string low = LowerAscii(a);
        if (StartsWithNoCase(a, "-clone,")) {
            if (haveJob) return Usage(a);
            Status s = ParseClone(a, r);
            if (!s.ok()) return s;
            haveJob = true;
        } else if (StartsWithNoCase(a, "-chkimg,")) {
            if (haveJob) return Usage(a);
            r->kind = JobRequest::kCheck;
            r->image = JoinValue(args, &i, a.substr(8));
            if (r->image.empty()) return Usage(a);
            haveJob = true;
        } else if (low.size() == 3 && low[0] == '-' && low[1] == 'z' && low[2] >= '1' &&
                   low[2] <= '9') {
            r->level = low[2] - '0';
        } else if (low == "-span") {
            r->span = true;
        } else if (StartsWithNoCase(a, "-split=")) {
            std::string n = a.substr(7);
            if (!AllDigits(n) || std::stoul(n) < 2) return Usage(a);
            r->splitMiB = std::stoul(n);
        } else if (low == "-auto") {
            r->autoName = true;
        } else if (low == "-noide") {
            r->noIde = true;
        } else if (StartsWithNoCase(a, "-pwd=")) {
            r->hasPassword = true;
            r->password = JoinValue(args, &i, a.substr(5));
            if (r->password.empty()) return Fail(kErrUsage, u8"密码为空：-pwd=");
        } else if (low == "-crcignore") {
            r->crcIgnore = true;
        } else if (low == "-sure") {
            r->sure = true;
        } else if (low == "-fx") {
            r->fx = true;
        } else if (low == "-batch") {
            r->batch = true;
        } else if (StartsWithNoCase(a, "-afile=")) {
            r->abortFile = a.substr(7);
            if (r->abortFile.empty()) return Usage(a);
        } else {
            return Usage(a);
        }
    }
    if (!haveJob && !args.empty()) return Fail(kErrUsage, u8"缺少 -clone 或 -CHKIMG。");
    if (r->kind == JobRequest::kRestore && r->imagePartition != 1) {
        return Fail(kErrUsage, u8"映像只含分区 1：:" + std::to_string(r->imagePartition));
    }
    return Ok();
}

}  // namespace ghost
