#include "support.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace testsupport {

const char* const kLineEnd = "\r\n";
const bool kHasFileSizeLimit = false;

void setEnv(const char* name, const char* value) {
    _putenv_s(name, value);
}
void unsetEnv(const char* name) {
    _putenv_s(name, "");
}

namespace {

HANDLE openForChild(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool startsWithNoCase(const char* text, const char* prefix) {
    return _strnicmp(text, prefix, std::strlen(prefix)) == 0;
}

} // namespace

ProcessResult runProcess(const std::string& exe, const std::string& cwd,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         std::int64_t /*fileSizeLimit*/) {
    std::string block;
    char* inherited = GetEnvironmentStringsA();
    for (const char* entry = inherited; *entry != '\0'; entry += std::strlen(entry) + 1) {
        if (!startsWithNoCase(entry, "IRSIM_")) {
            block.append(entry).push_back('\0');
        }
    }
    FreeEnvironmentStringsA(inherited);
    for (const auto& [name, value] : env) {
        block.append(name + "=" + value).push_back('\0');
    }
    block.push_back('\0');

    const std::string dir = makeTempDir("ir-out");
    HANDLE out = openForChild(dir + "\\stdout");
    HANDLE err = openForChild(dir + "\\stderr");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + exe + "\"";

    ProcessResult result;
    const auto started = std::chrono::steady_clock::now();
    if (CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, block.data(),
                       cwd.c_str(), &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result.status = static_cast<int>(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    CloseHandle(out);
    CloseHandle(err);
    result.out = readFile(dir + "\\stdout");
    result.err = readFile(dir + "\\stderr");
    return result;
}

} // namespace testsupport
