#include "host/validate/isolated_run.h"

#include <cstdio>
#include <exception>
#include <sstream>

#include "host/loading/coverage_counts.h"
#include "host/loading/module_endings.h"
#include "host/loading/module_session.h"
#include "host/validate/isolated_run_shared.h"

namespace tmhost {

namespace isolation {

std::string one_line(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

GroupVerdict failed(std::string why) {
    GroupVerdict verdict;
    verdict.passed = false;
    verdict.failures.push_back(std::move(why));
    return verdict;
}

std::string limit_text(int seconds) {
    return "hung: no verdict within the time limit of " + std::to_string(seconds) +
           " s (the module hung or ran far too slowly)";
}

GroupVerdict with_last_note(GroupVerdict verdict, const std::string& note) {
    if (!note.empty() && !verdict.failures.empty()) verdict.failures.front() += " during " + note;
    return verdict;
}

}  // namespace isolation

using namespace isolation;

namespace {

// Set in a child process: where a verdict given early goes.
void (*verdict_sink)(const GroupVerdict& verdict) = nullptr;
// Set in a child process: where progress notes go.
void (*note_sink)(const std::string& what) = nullptr;

std::string parent_file;

}  // namespace

void isolation::send_child_output(void (*verdict)(const GroupVerdict&),
                                  void (*note)(const std::string&)) {
    verdict_sink = verdict;
    note_sink = note;
}

void note_progress(const std::string& what) {
    if (note_sink != nullptr) note_sink(what);
}

void deliver_verdict_now(const GroupVerdict& verdict) {
    if (verdict_sink != nullptr) verdict_sink(verdict);
}

void isolation::give_verdicts_to_file(const std::string& verdict_file) {
    parent_file = verdict_file;
    verdict_sink = write_parent_file;
}

[[noreturn]] void isolation::write_parent_file(const GroupVerdict& verdict) {
    if (std::FILE* file = std::fopen(parent_file.c_str(), "wb")) {
        const std::string text = verdict_text(verdict);
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    std::fflush(nullptr);
    write_coverage_counts();
    // The module may be stuck on another thread; nothing of this process is needed any more.
    host_exit_now(0);
}

GroupVerdict run_in_process(const ValidationGroup& group, const ValidationSettings& settings) {
    try {
        return group.run(settings);
    } catch (const ModuleError& error) {
        return failed(std::string("the module cannot be driven: ") + error.what());
    } catch (const std::exception& error) {
        return failed(std::string("the group stopped: ") + error.what());
    }
}

std::string verdict_text(const GroupVerdict& verdict) {
    std::string text = verdict.passed ? "pass\n" : "fail\n";
    text += "counts " + one_line(verdict.counts) + "\n";
    for (const std::string& failure : verdict.failures)
        text += "failure " + one_line(failure) + "\n";
    text += "end\n";
    return text;
}

GroupVerdict verdict_from_text(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    GroupVerdict verdict;
    if (!std::getline(lines, line) || (line != "pass" && line != "fail")) {
        return failed("the child process gave no verdict");
    }
    verdict.passed = line == "pass";
    bool ended = false;
    while (std::getline(lines, line)) {
        if (line.rfind("counts ", 0) == 0) verdict.counts = line.substr(7);
        if (line.rfind("failure ", 0) == 0) verdict.failures.push_back(line.substr(8));
        if (line == "end") ended = true;
    }
    if (!ended) return failed("the child process's verdict was cut short");
    return verdict;
}

}  // namespace tmhost
