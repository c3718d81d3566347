#pragma once
// The help of the command-line programs as their manual pages read it.

#include <CLI/CLI.hpp>

#include <sstream>
#include <string>

namespace vexar {

// CLI11 sets an option's description beside its name, or below it when the name fills the column.
// A name one short of the column is left a single space from its description, which the manual
// page (help2man) then takes for part of the name: such a name gets a line of its own too.
class HelpLayout : public CLI::Formatter {
public:
    std::string make_option(const CLI::Option* option, bool positional) const override {
        std::string name = make_option_name(option, positional) + make_option_opts(option);
        if (name.size() + 3 == get_column_width()) {
            name += ' ';
        }
        std::ostringstream out;
        CLI::detail::format_help(out, name, make_option_desc(option), get_column_width());
        return out.str();
    }
};

} // namespace vexar
