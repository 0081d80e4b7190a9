#include "oppoint/ngspice_library.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

#include <sharedspice.h>

namespace quorvat::oppoint {

struct NgspiceLibrary::Api {
    void* handle = nullptr;
    decltype(&ngSpice_Init) init = nullptr;
    decltype(&ngSpice_Circ) circ = nullptr;
    decltype(&ngSpice_Command) command = nullptr;
    decltype(&ngGet_Vec_Info) vector = nullptr;
    decltype(&ngSpice_CurPlot) current_plot = nullptr;
};

namespace {

constexpr std::size_t max_printed_lines = 100000;  // a runaway simulator must not exhaust memory

int on_print(char* text, int, void* self) {
    static_cast<NgspiceLibrary*>(self)->print(text);
    return 0;
}
int on_status(char*, int, void*) { return 0; }
int on_exit(int, NG_BOOL, NG_BOOL, int, void* self) {
    static_cast<NgspiceLibrary*>(self)->exited();
    return 0;
}

template <class F>
bool bind(void* handle, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(handle, name));
    return function != nullptr;
}

}  // namespace

NgspiceLibrary& NgspiceLibrary::instance() {
    static NgspiceLibrary library;
    return library;
}

NgspiceLibrary::NgspiceLibrary() {
    // Local binding: ngspice's many global symbols stay out of the program's namespace.
    void* handle = dlopen("libngspice.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        open_error_ = std::string("biblioteca do ngspice (libngspice.so.0) não encontrada; instale o pacote "
                                  "libngspice0") + (why ? std::string(" (") + why + ")" : "");
        return;
    }
    auto api = new Api;
    api->handle = handle;
    if (!bind(handle, "ngSpice_Init", api->init) || !bind(handle, "ngSpice_Circ", api->circ) ||
        !bind(handle, "ngSpice_Command", api->command) || !bind(handle, "ngGet_Vec_Info", api->vector) ||
        !bind(handle, "ngSpice_CurPlot", api->current_plot)) {
        open_error_ = "a biblioteca do ngspice não tem as funções esperadas (ngSpice_Init, ngSpice_Circ...)";
        delete api;
        dlclose(handle);
        return;
    }
    api_ = api;
    api_->init(on_print, on_status, on_exit, nullptr, nullptr, nullptr, this);
    printed_.clear();  // the banner
}

bool NgspiceLibrary::usable(std::string& error) const {
    if (!api_) error = open_error_;
    else if (exited_) error = "o ngspice encerrou-se após um erro; execute o comando de novo";
    return api_ && !exited_;
}

void NgspiceLibrary::print(const char* text) {
    if (printed_.size() < max_printed_lines) printed_.emplace_back(text ? text : "");
}

void NgspiceLibrary::exited() { exited_ = true; }

// ngspice's message: the lines it wrote to its standard error (without its "stderr "
// prefix) that say what went wrong, each once; the notes of its convergence aids
// (gmin and source stepping) are left in the log when decisive_only.
std::string NgspiceLibrary::errors_since(std::size_t first, bool decisive_only) const {
    std::vector<std::string> all, decisive;
    for (std::size_t i = first; i < printed_.size(); ++i) {
        const std::string& line = printed_[i];
        if (line.rfind("stderr ", 0) != 0) continue;
        std::size_t start = line.find_first_not_of(" \t", 7);
        if (start == std::string::npos) continue;
        std::string text = line.substr(start);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
        if (std::find(all.begin(), all.end(), text) != all.end()) continue;
        all.push_back(text);
        bool decides = text.find("rror") != std::string::npos || text.find("aborted") != std::string::npos ||
                       text.rfind("Warning: singular", 0) == 0 || text.rfind("doAnalyses", 0) == 0;
        if (decides) decisive.push_back(text);
    }
    std::string message;
    for (const std::string& text : decisive.empty() || !decisive_only ? all : decisive) message += (message.empty() ? "" : " | ") + text;
    return message;
}

bool NgspiceLibrary::load(const std::vector<std::string>& lines, std::string& error) {
    if (!usable(error)) return false;
    printed_.clear();
    if (loaded_ && lines == loaded_lines_) return true;  // the same circuit stays
    if (loaded_) {
        api_->command(const_cast<char*>("destroy all"));
        api_->command(const_cast<char*>("remcirc"));
        loaded_ = false;
    }
    std::vector<std::string> deck(lines);
    deck.emplace_back(".end");
    std::vector<char*> pointers;
    for (std::string& line : deck) pointers.push_back(line.data());
    pointers.push_back(nullptr);
    int status = api_->circ(pointers.data());
    std::string messages = errors_since(0, false);
    loaded_ = status == 0;
    loaded_lines_ = lines;
    // ngspice accepts a deck it could not make a circuit of, and says so on stderr.
    bool circuit = status == 0 && !exited_ && messages.find("rror") == std::string::npos;
    if (!circuit) error = "o ngspice recusou o deck" + (messages.empty() ? std::string() : ": " + messages);
    return circuit;
}

bool NgspiceLibrary::command(const std::string& text, std::string& error) {
    if (!usable(error)) return false;
    printed_.clear();
    std::size_t first = 0;
    std::string before = api_->current_plot() ? api_->current_plot() : "";
    std::string line = text;
    int status = api_->command(line.data());
    std::string messages = errors_since(first, true);
    std::string after = api_->current_plot() ? api_->current_plot() : "";
    bool analysis = text.rfind("op", 0) == 0 || text.rfind("ac", 0) == 0;
    // An analysis that fails leaves no new plot behind.
    bool ok = status == 0 && !exited_ && (!analysis || after != before) &&
              messages.find("rror") == std::string::npos && messages.find("aborted") == std::string::npos;
    if (!ok) error = messages.empty() ? "o ngspice não concluiu \"" + text + "\"" : messages;
    return ok;
}

bool NgspiceLibrary::real(const std::string& vector, double& value) {
    std::vector<std::complex<double>> out;
    if (!values(vector, out) || out.empty()) return false;
    value = out[0].real();
    return true;
}

bool NgspiceLibrary::values(const std::string& vector, std::vector<std::complex<double>>& out) {
    std::string error;
    if (!usable(error)) return false;
    std::string name = vector;
    std::size_t first = printed_.size();
    pvector_info info = api_->vector(name.data());
    // A missing vector is said on stderr: not a message of the caller's.
    printed_.resize(first);
    if (!info || info->v_length <= 0) return false;
    out.clear();
    for (int i = 0; i < info->v_length; ++i) {
        if (info->v_realdata) out.emplace_back(info->v_realdata[i], 0.0);
        else if (info->v_compdata) out.emplace_back(info->v_compdata[i].cx_real, info->v_compdata[i].cx_imag);
        else return false;
    }
    return true;
}

}  // namespace quorvat::oppoint
