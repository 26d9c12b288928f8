#include "tools/catalog/authenticode.h"

#include "tools/catalog/child_process.h"
#include "tools/catalog/signer_name.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

namespace tw::tool {
namespace {

constexpr std::chrono::seconds osslsigncode_limit{120};

// A folder of its own for the extracted signature, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::error_code error;
        std::string pattern = (std::filesystem::temp_directory_path(error) / "tarnwick-catalog-XXXXXX").string();
        if (!error && ::mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::string read_whole(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> lines_of(const std::string& output)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        const std::string line = output.substr(start, end - start);
        const auto first = line.find_first_not_of(" \t\r");
        if (first != std::string::npos)
            lines.push_back(line.substr(first, line.find_last_not_of(" \t\r") + 1 - first));
        start = end + 1;
    }
    return lines;
}

// osslsigncode says much; the reason is a digest that no longer matches, a certificate error,
// or failing those its last words before "Failed".
std::string reason_in(const std::string& output)
{
    const auto lines = lines_of(output);
    for (const auto& line : lines) {
        if (line.find("MISMATCH") != std::string::npos)
            return "the file was changed after it was signed: its digest no longer matches";
    }
    for (const auto& line : lines) {
        if (const auto at = line.find("Error: "); at != std::string::npos)
            return line.substr(at + 7);
    }
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (*line != "Failed")
            return *line;
    }
    return {};
}

// Nothing to go on when the run itself failed; otherwise nullptr.
const char* run_failure(const ChildResult& run)
{
    if (!run.started)
        return "osslsigncode could not be started; install it (Debian package osslsigncode)";
    if (run.timed_out)
        return "osslsigncode did not finish in time";
    return nullptr;
}

SignatureReading unchecked(const char* why) { return {SignatureState::unchecked, {}, why}; }

}  // namespace

SignatureReading read_signature(const std::filesystem::path& file, const std::string& trust_file)
{
    const ScratchFolder scratch;
    if (scratch.path().empty())
        return unchecked("no scratch folder could be made");
    const auto extracted = scratch.path() / "signature.der";
    const ChildResult extract = run_child(
        {"osslsigncode", "extract-signature", "-in", file.string(), "-out", extracted.string()}, osslsigncode_limit);
    if (const char* failure = run_failure(extract))
        return unchecked(failure);
    if (extract.exit_code != 0)
        return {SignatureState::not_signed, {}, reason_in(extract.output)};

    SignatureReading reading;
    reading.signer = signer_common_name(read_whole(extracted));
    std::vector<std::string> verify = {"osslsigncode", "verify", "-in", file.string(), "-ignore-crl"};
    if (!trust_file.empty())
        verify.insert(verify.end(), {"-CAfile", trust_file});
    const ChildResult verified = run_child(verify, osslsigncode_limit);
    if (const char* failure = run_failure(verified))
        return unchecked(failure);
    reading.state = verified.exit_code == 0 ? SignatureState::valid : SignatureState::not_valid;
    if (reading.state == SignatureState::not_valid)
        reading.detail = reason_in(verified.output);
    return reading;
}

}  // namespace tw::tool
