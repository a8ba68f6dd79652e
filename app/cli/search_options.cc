// search_options.cc - the shared search parameters on a CLI11 command.
#include "app/cli/search_options.h"

#include <CLI/CLI.hpp>

#include "app/cli/cli_common.h"
#include "app/cli/terminal_text.h"

namespace ledgrove::cli {

SearchOptions::SearchOptions(CLI::App &command, bool summary) {
    for (const SearchParameter &parameter : search_parameters()) {
        if (parameter.summary_only && !summary) continue;
        const std::string name(parameter.name), option = "--" + name;
        const std::string help(parameter.help);
        CLI::Option *added = nullptr;
        if (parameter.kind == ParameterKind::Flag) {
            added = command.add_flag(option, help);
        } else {
            added = command.add_option(option, values_[name], help)
                        ->type_name(std::string(parameter.value_name))
                        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
        }
        added->group(parameter.summary_only ? "Summary" : "Search");
        options_.emplace_back(&parameter, added);
    }
}

SearchRequest SearchOptions::read() const {
    SearchRequest request;
    for (const auto &[parameter, option] : options_) {
        if (option->count() == 0) continue;
        const std::string name(parameter->name), shown = "--" + name;
        const std::string value = parameter->kind == ParameterKind::Flag
                                      ? std::string()
                                      : register_argument(values_.at(name), shown);
        if (auto error = set_search_parameter(request, name, value))
            usage_error(shown + " " + *error);
    }
    return request;
}

void prepare_search(DatabaseSet &set, SearchRequest &request) {
    set.open();
    require_open(set, {index_for(request.order)});
    if (auto error = settle_dates(request, set)) usage_error(*error);
    if (const std::optional<InputError> error = check_search_inputs(request.inputs))
        usage_error(error->message);
}

}  // namespace ledgrove::cli
