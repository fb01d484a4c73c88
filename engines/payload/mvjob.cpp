// mvjob: the job runner of the reboot-time boot image (MvDOS.ima). The image's start-up
// script mounts the partitions and calls it:
//   mvjob run <job file> <D:P of the module's partition>
//       runs the job's lines in the current folder (the module partition's root); a
//       failed line writes GHOSTERR.TXT there and ends the run. Exit 0: the job asked
//       for a restart; 1: a line failed; 3: the job ended without "restart".
//   mvjob writes <job file>
//       prints the D:P of each partition the job's lines write to.
//   mvjob state <device> <mounted root>
//       prints clean, dirty, hibernated or not-ntfs (exit 0, 1, 2, 0) for an NTFS volume
//       before it is written; exit 4 when the volume cannot be read.
//   mvjob ghost <engine arguments>
//       the Ghost engine itself, for the image's menu and shell.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/console_out.h"
#include "engines/ghost/job.h"
#include "engines/ghost/progress_ui.h"
#include "engines/payload/job_file.h"

namespace {

bool WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

ghost::Status RunEngine(const std::vector<std::string>& args, ghost::JobRequest* request,
                        const ghost::PartitionId* modulePartition) {
    ghost::Status s = ghost::ParseJobRequest(args, request);
    if (!s.ok()) return s;
    if (modulePartition) {
        const std::string refusal = payload::CheckJobPartition(*request, *modulePartition);
        if (!refusal.empty()) return ghost::Fail(ghost::kErrPartition, refusal);
    }
    // The start-up script leaves a hibernated or dirty volume mounted read-only and
    // names it here; a job that would write it stops before anything is written.
    const char* unsafe = getenv("SB_PAYLOAD_UNSAFE");
    const ghost::PartitionId written = payload::WrittenPartition(*request);
    const std::string reason = payload::UnsafeReason(unsafe ? unsafe : "", written);
    if (!reason.empty())
        return ghost::Fail(ghost::kErrWrite, payload::UnsafeVolumeText(written, reason));
    if (request->kind == ghost::JobRequest::kInteractive)
        return ghost::Fail(ghost::kErrUsage, u8"没有给出任务。");
    auto volumes = ghost::MakeVolumeMap();
    return ghost::RunWithProgress(ghost::JobTitle(*request), [&](const ghost::ProgressFn& p) {
        return ghost::RunJob(*request, *volumes, p);
    });
}

int RunJobFile(const std::string& path, const std::string& module) {
    ghost::PartitionId modulePartition;
    std::ifstream in(path, std::ios::binary);
    if (!in || !ghost::ParsePartitionId(module, &modulePartition)) {
        WriteFile("GHOSTERR.TXT", payload::ErrorFileText(u8"无法读取任务文件。", path));
        return 1;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const payload::JobLine& line : payload::ParseJobFile(bytes)) {
        if (line.kind == payload::JobLine::kRestart) return 0;
        if (line.kind == payload::JobLine::kUnknown) {
            const std::string error = u8"任务文件中有无法识别的行。";
            engine::PrintText(error + "\n");
            WriteFile("GHOSTERR.TXT", payload::ErrorFileText(error, line.text));
            return 1;
        }
        std::printf("%s\n", line.text.c_str());
        ghost::JobRequest request;
        const ghost::Status s = RunEngine(line.args, &request, &modulePartition);
        if (s.ok()) continue;
        const std::string text = ghost::ResultText(s);
        engine::PrintText(text + "\n");
        const std::string report = payload::ErrorFileText(text, line.text);
        WriteFile("GHOSTERR.TXT", report);
        if (!request.abortFile.empty() && request.abortFile != "GHOSTERR.TXT")
            WriteFile(request.abortFile, report);
        return 1;
    }
    return 3;
}

// The partitions the job's lines write to, one D:P a line, for the start-up script to
// mount for writing.
int WrittenPartitions(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const payload::JobLine& line : payload::ParseJobFile(bytes)) {
        ghost::JobRequest request;
        if (line.kind != payload::JobLine::kGhost ||
            !ghost::ParseJobRequest(line.args, &request).ok())
            continue;
        const ghost::PartitionId id = payload::WrittenPartition(request);
        if (id.valid()) std::printf("%s\n", id.Text().c_str());
    }
    return 0;
}

int VolumeState(const std::string& device, const std::string& root) {
    switch (payload::NtfsVolumeState(device)) {
        case payload::VolumeState::kNotNtfs:
            std::puts("not-ntfs");
            return 0;
        case payload::VolumeState::kDirty:
            std::puts("dirty");
            return 1;
        case payload::VolumeState::kUnreadable:
            std::puts("unreadable");
            return 4;
        case payload::VolumeState::kClean:
            break;
    }
    if (payload::HibernationFilePresent(root)) {
        std::puts("hibernated");
        return 2;
    }
    std::puts("clean");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    engine::InitEngineIo();
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "run") return RunJobFile(args[1], args[2]);
    if (args.size() == 2 && args[0] == "writes") return WrittenPartitions(args[1]);
    if (args.size() == 3 && args[0] == "state") return VolumeState(args[1], args[2]);
    if (!args.empty() && args[0] == "ghost") {
        ghost::JobRequest request;
        const ghost::Status s =
            RunEngine(std::vector<std::string>(args.begin() + 1, args.end()), &request, nullptr);
        if (s.ok()) return 0;
        engine::PrintText(ghost::ResultText(s) + "\n");
        return s.code;
    }
    std::fputs(
        "mvjob run <job file> <D:P> | mvjob writes <job file> | mvjob state <device> <root> | "
        "mvjob ghost <args>\n",
        stderr);
    return 2;
}
