#pragma once
// The simulated head's command line: the options it defines and what they set up.

#include "HeadServer.h"
#include "NavigationPublisher.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace vexar::headsim {

/// Everything the program starts from.
struct HeadsimSetup {
    HeadOptions head;
    /// The world the navigation is published in (its seabed gives the altitude; the truth file
    /// lists its reflectors): the head's own when the vehicle moves.
    sim::World world;
    NavigationOutput navigation;
    std::string truthPath;
};

class HeadsimCommandLine {
public:
    /// Defines the options on `cli`.
    explicit HeadsimCommandLine(CLI::App& cli);
    /// After the parse: the setup the options ask for. Throws CLI::ValidationError for values
    /// that are no values.
    HeadsimSetup Build() const;

private:
    void AddSceneOptions(CLI::App& cli);
    void AddFaultOptions(CLI::App& cli);
    void AddVehicleOptions(CLI::App& cli);
    void BuildListen(HeadsimSetup& setup) const;
    void BuildScene(HeadsimSetup& setup) const;
    void BuildFaults(HeadsimSetup& setup) const;
    void BuildVehicle(HeadsimSetup& setup) const;
    void BuildNavigation(HeadsimSetup& setup) const;

    HeadOptions m_head; ///< the options bound straight to fields of the head
    std::string m_listen = "127.0.0.1:4040";
    std::string m_sceneName = "harbour";
    std::vector<std::string> m_targets, m_rings, m_walls, m_movers, m_silences, m_wrongEchoes, m_cutOffs;
    float m_noise = m_head.scene.noise;
    unsigned m_seed = m_head.scene.seed;
    float m_sway = m_head.scene.swayM;
    std::string m_start = "43.5,9.0";
    double m_headingDeg = 90.0;
    double m_speedMps = 0.0;
    double m_turnRateDegPerS = 0.0;
    double m_depthM = 2.0;
    double m_yawDeg = 0.0;
    double m_tiltDeg = 0.0;
    std::string m_offset = "0,0,0";
    CLI::Option* m_speedOption = nullptr;
    CLI::Option* m_turnOption = nullptr;
    double m_navRateHz = 10.0;
    std::string m_ptyLink;
    std::string m_nmeaUdp;
    std::string m_truthPath;
};

} // namespace vexar::headsim
