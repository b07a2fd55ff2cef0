#include "app/KeCommandLine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace kolm {
namespace {

// "N": a decimal integer as atoi reads it (a value that does not parse reads 0).
int32_t parseInt(const std::string& s) { return static_cast<int32_t>(std::atoi(s.c_str())); }

// strtof: a value beyond the float range reads as infinite, not as an undefined conversion.
float parseFloat(const std::string& s) { return std::strtof(s.c_str(), nullptr); }

bool startsWithDash(const std::string& s) { return !s.empty() && s[0] == '-'; }

}  // namespace

KeCommandLine keParseCommandLine(const std::vector<std::string>& args) {
    KeCommandLine cl;
    const size_t n = args.size();

    if (n >= 1 && args[0] == "-binary") {
        cl.tool = KeToolMode::Binary;
        cl.options.flags = KE_RUN_STARTED | KE_RUN_CONVERT_BINARY | KE_RUN_MUSIC;  // 0x23
        if (n >= 2) cl.file = args[1];
        return cl;
    }
    if (n == 3 && (args[0] == "-demoexe" || args[0] == "-demodat")) {
        cl.tool = args[0] == "-demoexe" ? KeToolMode::DemoExe : KeToolMode::DemoDat;
        cl.toolOutput = args[1];
        cl.toolSource = args[2];
        return cl;
    }
    if (n == 2 && args[0] == "--package-info") {
        cl.tool = KeToolMode::PackageInfo;
        cl.toolSource = args[1];
        return cl;
    }
    if (n == 2 && args[0] == "-exersc") {
        cl.tool = KeToolMode::ExeRsc;
        cl.toolOutput = args[1];
        return cl;
    }

    for (size_t i = 0; i < n; ++i) {
        const std::string& a = args[i];
        if (!startsWithDash(a)) {
            if (cl.file.empty()) cl.file = a;
            continue;
        }
        const bool hasValue = i + 1 < n;
        // Options with a value take the next argument whether or not it parses; as the last
        // argument they are skipped.
        if (a == "-framestart") {
            if (!hasValue) continue;
            cl.options.flags |= KE_RUN_FRAME_START;
            cl.options.frameStart = parseInt(args[++i]);
        } else if (a == "-paused") {
            cl.options.flags |= KE_RUN_PAUSED;
        } else if (a == "-ride") {
            cl.options.flags |= KE_RUN_RIDE;
        } else if (a == "-rideopts") {
            if (!hasValue) continue;
            cl.options.rideOpts = parseInt(args[++i]);
        } else if (a == "-ridespeed") {
            if (!hasValue) continue;
            cl.options.rideSpeed = parseInt(args[++i]);
        } else if (a == "-nomusic") {
            cl.options.flags &= ~static_cast<uint32_t>(KE_RUN_MUSIC);
        } else if (a == "-syncupdate") {
            cl.options.flags |= KE_RUN_SYNC_UPDATE;
        } else if (a == "-noidleinactive") {
            cl.options.flags |= KE_RUN_NO_IDLE_INACTIVE;
        } else if (a == "-display") {
            if (!hasValue) continue;
            int w = 0, h = 0;
            if (std::sscanf(args[++i].c_str(), "%dx%d", &w, &h) == 2) {
                cl.screen.width = w;
                cl.screen.height = h;
            }
        } else if (a == "-windowed") {
            if (!hasValue) continue;
            cl.screen.windowed = parseInt(args[++i]);
        } else if (a == "-windowpos") {
            if (!hasValue) continue;
            int x = 0, y = 0;
            if (std::sscanf(args[++i].c_str(), "%d,%d", &x, &y) == 2) {
                cl.screen.windowX = x;
                cl.screen.windowY = y;
            }
        } else if (a == "-stereo") {
            if (!hasValue) continue;
            cl.screen.stereo = parseInt(args[++i]);
        } else if (a == "-vsync") {
            if (!hasValue) continue;
            cl.screen.vsync = parseInt(args[++i]);
        } else if (a == "-userlog") {
            cl.userLog = true;
        } else if (a == "-cap") {
            if (!hasValue) continue;
            cl.captureBase = args[++i];
        } else if (a == "-capfps") {
            if (!hasValue) continue;
            cl.captureFps = parseFloat(args[++i]);
        } else if (a == "-capfrom") {
            if (!hasValue) continue;
            cl.captureFrom = parseInt(args[++i]);
        } else if (a == "-capto") {
            if (!hasValue) continue;
            cl.captureTo = parseInt(args[++i]);
        } else if (a == "-capwav") {
            cl.captureWav = true;
        }
        // Anything else beginning with "-" ("-console" included) is skipped without a value.
    }
    return cl;
}

bool keIsExtractCommand(const std::vector<std::string>& args) {
    return args.size() == 1 && args[0] == "-extract";
}

KeRunMode keRunModeFromFileName(const std::string& name) {
    if (name.find(".demo.ini") != std::string::npos) return KeRunMode::Demo;
    if (name.find(".lws.ini") != std::string::npos) return KeRunMode::SceneViewer;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return KeRunMode::Unsupported;
    const char* ext = name.c_str() + dot;
    auto is = [ext](const char* e) { return strcasecmp(ext, e) == 0; };
    if (is(".kolm") || is(".kscn")) return KeRunMode::SceneViewer;
    if (is(".x") || is(".lwo") || is(".obj")) return KeRunMode::ObjectViewer;
    if (is(".lua") || is(".klua")) return KeRunMode::Script;
    return KeRunMode::Unsupported;
}

float keEffectiveCaptureFps(float fps) {
    // Negative, NaN and infinite rates have no frame interval: they capture at 30 like 0.
    return std::isfinite(fps) && fps > 0.0f ? fps : KE_DEFAULT_CAPTURE_FPS;
}

}  // namespace kolm
