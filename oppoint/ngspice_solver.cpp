#include "oppoint/ngspice_solver.h"

#include <cmath>
#include <cstdio>

#include "oppoint/device_models.h"
#include "oppoint/ngspice_library.h"
#include "oppoint/scratch_directory.h"

namespace quorvat::oppoint {

namespace {

// From the listing of "show": the implementation ("BJT" of "BJT: Bipolar Junction
// Transistor") and the model an instance uses, as the simulator names it ("x1:qn"
// inside a subcircuit).
void describe(NgspiceLibrary& library, const std::string& device, std::string& implementation, std::string& model) {
    std::string error;
    if (!library.command("show " + device, error)) return;
    const std::string out = "stdout ", model_prefix = "stdout model ";
    for (const std::string& line : library.printed()) {
        if (implementation.empty() && line.rfind(out, 0) == 0 && line.find(':') != std::string::npos)
            implementation = line.substr(out.size(), line.find(':') - out.size());
        if (line.rfind(model_prefix, 0) != 0) continue;
        std::size_t start = line.find_first_not_of(' ', model_prefix.size());
        std::size_t end = line.find_first_of(" \t", start);
        if (start != std::string::npos) model = line.substr(start, end - start);
        return;
    }
}

class InstanceValues : public DeviceValues {
public:
    InstanceValues(NgspiceLibrary& library, std::string device, std::string model, std::string implementation)
        : library_(library), device_(std::move(device)), model_(std::move(model)),
          implementation_(std::move(implementation)) {}
    bool instance(const std::string& name, double& value) override {
        return library_.real("@" + device_ + "[" + name + "]", value);
    }
    bool model(const std::string& name, double& value) override {
        return !model_.empty() && library_.real("@" + model_ + "[" + name + "]", value);
    }
    std::string implementation() override { return implementation_; }

private:
    NgspiceLibrary& library_;
    std::string device_, model_, implementation_;
};

class NgspiceSolver : public spice::OperatingPointSolver {
public:
    spice::OperatingPoint solve(const std::vector<std::string>& deck_lines,
                                const std::vector<spice::DeviceRequest>& devices,
                                const std::vector<std::string>& node_names) override {
        spice::OperatingPoint point;
        ScratchDirectory scratch;  // the simulator's own files stay out of the user's directory
        NgspiceLibrary& library = NgspiceLibrary::instance();
        if (!library.load(deck_lines, point.error)) return point;
        if (!library.command("op", point.error)) {
            point.error = "o ponto de operação não convergiu: " + point.error;
            return point;
        }
        for (const std::string& node : node_names) {
            double value = 0.0;
            if (!library.real(node, value)) continue;
            if (!std::isfinite(value)) {
                point.error = "o ponto de operação não convergiu: tensão do nó " + node + " não finita";
                return point;
            }
            point.node_voltages.push_back({node, value});
        }
        for (const spice::DeviceRequest& device : devices) {
            std::string implementation, model;
            describe(library, device.solver_name, implementation, model);
            InstanceValues values(library, device.solver_name, model, implementation);
            spice::DeviceResult result = linearise(device, values);
            result.model = model.empty() ? device.model : model;
            point.devices.push_back(std::move(result));
        }
        point.ok = true;
        return point;
    }
};

}  // namespace

spice::OperatingPointSolver& ngspice_solver() {
    static NgspiceSolver solver;
    return solver;
}

bool ngspice_available(std::string& error) { return NgspiceLibrary::instance().usable(error); }

bool ngspice_ac(const std::vector<std::string>& deck_lines, const std::vector<std::string>& nodes,
                int points_per_decade, double fstart, double fstop, std::vector<double>& frequencies,
                std::map<std::string, std::vector<std::complex<double>>>& voltages, std::string& error) {
    ScratchDirectory scratch;
    NgspiceLibrary& library = NgspiceLibrary::instance();
    if (!library.load(deck_lines, error)) return false;
    char command[128];
    std::snprintf(command, sizeof command, "ac dec %d %.17g %.17g", points_per_decade, fstart, fstop);
    if (!library.command(command, error)) return false;
    std::vector<std::complex<double>> scale;
    if (!library.values("frequency", scale)) {
        error = "a análise AC não deu o vetor frequency";
        return false;
    }
    frequencies.clear();
    for (const auto& f : scale) frequencies.push_back(f.real());
    for (const std::string& node : nodes) {
        if (!library.values(node, voltages[node]) || voltages[node].size() != scale.size()) {
            error = "a análise AC não deu a tensão do nó " + node;
            return false;
        }
    }
    return true;
}

}  // namespace quorvat::oppoint
