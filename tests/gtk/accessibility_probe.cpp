#include "accessibility_probe.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace vistrelle::gtk::testing {

AccessibilityProbe::~AccessibilityProbe() {
    if (in_ >= 0) {
        close(in_);  // the probe ends at the end of its input
    }
    if (pid_ > 0) {
        int status = 0;
        for (int i = 0; i < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++i) {
            g_usleep(20000);
        }
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
    }
    if (out_ >= 0) {
        close(out_);
    }
}

bool AccessibilityProbe::start(std::string& why) {
    if (g_getenv("NO_AT_BRIDGE") != nullptr) {
        why = "the accessibility bridge is off (run through scripts/with-screen-reader)";
        return false;
    }
    gchar* argv[] = {const_cast<gchar*>(VISTRELLE_ATSPI_PROBE), nullptr};
    GError* error = nullptr;
    if (!g_spawn_async_with_pipes(nullptr, argv, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                                  nullptr, &pid_, &in_, &out_, nullptr, &error)) {
        why = error->message;
        g_error_free(error);
        return false;
    }
    fcntl(out_, F_SETFL, fcntl(out_, F_GETFL) | O_NONBLOCK);
    std::string line;
    for (int i = 0; i < 1000 && !readLine(line); ++i) {
        g_usleep(10000);
    }
    if (line != "ready") {
        why = "the accessibility client did not start: " + line;
        return false;
    }
    return true;
}

bool AccessibilityProbe::readLine(std::string& line) {
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(out_, buffer, sizeof buffer)) > 0) {
        pending_.append(buffer, static_cast<size_t>(got));
    }
    const size_t end = pending_.find('\n');
    if (end == std::string::npos) {
        return false;
    }
    line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    return true;
}

std::string AccessibilityProbe::ask(const std::string& question,
                                    const std::function<bool(const std::function<bool()>&)>& wait) {
    const std::string line = question + "\n";
    if (write(in_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        return "error the probe is gone";
    }
    std::string answer;
    if (!wait([&] { return readLine(answer); })) {
        return "error no answer to " + question;
    }
    if (answer == "ok") {
        return {};
    }
    return answer.rfind("ok ", 0) == 0 ? answer.substr(3) : answer;
}

int runWhileLooping(const std::vector<std::string>& argv,
                    const std::function<bool(const std::function<bool()>&)>& wait) {
    std::vector<gchar*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<gchar*>(arg.c_str()));
    }
    args.push_back(nullptr);
    GPid pid = 0;
    if (!g_spawn_async(nullptr, args.data(), nullptr,
                       static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                       nullptr, nullptr, &pid, nullptr)) {
        return -1;
    }
    int status = 0;
    bool ended = false;
    wait([&] {
        ended = ended || waitpid(pid, &status, WNOHANG) == pid;
        return ended;
    });
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> orcaSpeech(const std::string& log, size_t skip) {
    std::ifstream file(log);
    std::vector<std::string> said;
    const std::string mark = "SPEECH OUTPUT: '";
    for (std::string line; std::getline(file, line);) {
        const size_t at = line.find(mark);
        if (at == std::string::npos) {
            continue;
        }
        const size_t start = at + mark.size();
        const size_t end = line.rfind('\'');
        said.push_back(line.substr(start, end > start ? end - start : 0));
    }
    if (skip >= said.size()) {
        return {};
    }
    return {said.begin() + static_cast<std::ptrdiff_t>(skip), said.end()};
}

}  // namespace vistrelle::gtk::testing
