// ngspice's shared library, opened on first use: circuits loaded from lines, commands,
// and the values of its vectors. Everything it prints is kept here, never shown.
#pragma once

#include <complex>
#include <string>
#include <vector>

namespace quorvat::oppoint {

class NgspiceLibrary {
public:
    /// The process's one instance (ngspice keeps global state); opens the library on
    /// the first call. Not thread-safe, like ngspice itself.
    static NgspiceLibrary& instance();

    /// False, with the reason in error, when the library cannot be opened or has
    /// stopped itself after a fatal error.
    bool usable(std::string& error) const;

    /// Removes the previous circuit and loads these lines (title first; .end is added);
    /// the same lines as the loaded circuit's keep it. A second circuit in one process
    /// has been seen to reach a different operating point now and then (ngspice's own
    /// state), so the commands load one deck each and the tests compare within one load.
    /// False with the simulator's message when it refuses them. ngspice keeps a deck's
    /// .options as its own variables, which later decks of the same process inherit
    /// (removing them with "unset" corrupts its memory): each command reads one deck.
    bool load(const std::vector<std::string>& lines, std::string& error);
    /// Runs one command; false with the simulator's message when it reports an error.
    bool command(const std::string& text, std::string& error);

    /// A real vector's first value: a node voltage, "v1#branch" or "@q1[gm]".
    bool real(const std::string& vector, double& value);
    /// A vector of the current plot, real or complex.
    bool values(const std::string& vector, std::vector<std::complex<double>>& out);

    /// The text printed by the last load or command, one line each, with ngspice's
    /// "stdout " or "stderr " in front.
    const std::vector<std::string>& printed() const { return printed_; }

    // The callbacks' side; not for callers.
    void print(const char* text);
    void exited();

private:
    NgspiceLibrary();
    std::string errors_since(std::size_t first, bool decisive_only) const;

    struct Api;
    Api* api_ = nullptr;          // null when the library could not be opened
    std::string open_error_;
    bool exited_ = false;
    bool loaded_ = false;
    std::vector<std::string> printed_;
    std::vector<std::string> loaded_lines_;
};

}  // namespace quorvat::oppoint
