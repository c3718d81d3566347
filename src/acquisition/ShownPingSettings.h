#pragma once
// CShownPingSettings: the settings of the ping shown, apart from the operator's choice. A ping is
// processed, drawn, written and placed with the settings it was made with: a live ping with those
// of its request, a played one with its record's header over the operator's choice. Whatever
// does not describe how the ping was made (how it is processed and drawn: gains, widths,
// averaging, the display mode ...) follows the operator's choice at once, so that a held
// picture answers the controls.

#include "head/PingSettings.h"

namespace vexar {

/// Where the ping shown came from.
enum class PingOrigin {
    None,   ///< no ping yet (or the picture was cleared): the settings are the operator's
    Live,   ///< a live ping: its own are what the head was asked for and the beams it was formed in
    Played, ///< a played record: its own are also the head's mounting and, when the file's
            ///< velocity is used, the sound velocity
    Whole,  ///< a ping handed in with all its settings: taken as they are; later choices reach
            ///< it as they reach a live ping
};

class CShownPingSettings {
public:
    /// A ping entered with `ping` (its request's settings, or its record's over the choice);
    /// what is not its own is taken from `chosen`. `fileVelocity`: a played ping's sound
    /// velocity is the file's.
    void Enter(const PingSettings& ping, PingOrigin origin, bool fileVelocity, const PingSettings& chosen);
    /// The operator's choice changed: what is not the ping's own follows it.
    void Follow(const PingSettings& chosen);
    /// No ping is shown any more: the settings are the choice.
    void Forget(const PingSettings& chosen);

    const PingSettings& Get() const { return m_shown; }

private:
    PingSettings m_shown;
    PingOrigin m_origin = PingOrigin::None;
    bool m_fileVelocity = false;
};

} // namespace vexar
