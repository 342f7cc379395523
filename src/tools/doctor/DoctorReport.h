#pragma once
// What `klikctl doctor` found: one finding per thing checked, each well, a
// problem (with the commands that mend it), or a note for the operator.

#include <string>
#include <vector>

namespace klik::doctor {

enum class Status { Ok, Problem, Note };

struct Finding {
    Status status = Status::Ok;
    std::string topic;               // "camera", "folders", ...
    std::string detail;              // one line
    std::vector<std::string> fixes;  // commands or steps that mend a problem
};

class Report {
  public:
    void ok(const std::string& topic, const std::string& detail);
    void problem(const std::string& topic, const std::string& detail,
                 std::vector<std::string> fixes = {});
    void note(const std::string& topic, const std::string& detail);

    const std::vector<Finding>& findings() const { return findings_; }
    // No problem was found.
    bool allWell() const;
    int problemCount() const;
    // The findings, one line each with their fixes below, and a last line.
    std::string text() const;

  private:
    std::vector<Finding> findings_;
};

}  // namespace klik::doctor
