#pragma once
// CNavigationFollower: keeps the console's live navigation source on the one the settings name
// ([System] "Nav Source" and the keys beside it), or on the one `vexar --nav` named for this run,
// and tells the status row about it.

#include "acquisition/DocumentTypes.h"
#include "navigation/NavigationSource.h"
#include "navigation/NavigationStatus.h"

#include <optional>

namespace vexar {

class CNavigationInput;
class CTamsorDoc;

class CNavigationFollower : public IDocumentListener {
public:
    /// Follows the settings of `doc` with the source of `input`; both outlive the follower.
    CNavigationFollower(CTamsorDoc& doc, CNavigationInput& input);
    ~CNavigationFollower() override;
    CNavigationFollower(const CNavigationFollower&) = delete;
    CNavigationFollower& operator=(const CNavigationFollower&) = delete;

    /// The source of this run instead of the settings' (never saved); nothing: the settings'.
    void SetOverride(std::optional<NavSourceChoice> choice) { m_override = std::move(choice); }
    /// Starts the source wanted now, unless it runs already.
    void Follow();
    /// The status row's navigation field now.
    NavStatusText Describe() const;

    void OnSettingsLoaded() override { Follow(); }
    void OnSettingsChanged(const SettingsChange& change) override {
        if (change.system) {
            Follow();
        }
    }

private:
    CTamsorDoc& m_doc;
    CNavigationInput& m_input;
    std::optional<NavSourceChoice> m_override;
};

} // namespace vexar
