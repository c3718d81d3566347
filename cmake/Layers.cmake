# The layers of the house: the project folders each folder of src/ and tools/ may include besides
# itself, from the ground floor up. The build's guard (tests/CheckLayers.cmake) holds every
# include against this table and the table against docs/ARCHITECTURE.md; a new folder goes in
# here first.
set(VEXAR_LAYERS
    "ports|"
    "common|"
    "head|common"
    "processing|common head"
    "sim|common head"
    "files|common head ports"
    "navigation|common head files ports"
    "config|common head navigation"
    "display|common head config"
    "contacts|common head navigation"
    "output|common config files ports"
    "acquisition|common head processing files navigation config display ports"
    "platform/gpsd|navigation ports"
    "platform/qt|navigation platform/gpsd ports"
    "gis|files navigation"
    "contacts/file|contacts"
    "painting|acquisition contacts display"
    "video|acquisition config display files painting"
    "app|acquisition common config contacts contacts/file display gis navigation output painting platform/qt ports video"
    "tools|"
    "tools/headsim|common navigation sim"
    "tools/cli/serve|common config display files head navigation output serve"
    "tools/cli|acquisition common config contacts/file display files gis navigation output painting platform/qt serve video")
# The core: standard library only, no Qt and nothing of the programs.
set(VEXAR_QT_FREE_FOLDERS ports common head processing sim files navigation config display contacts output acquisition)
