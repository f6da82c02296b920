#include "host/loading/default_check.h"

#include <set>

namespace tmhost {

namespace {

bool same(const Element& expected, const Element& found) {
    if (expected.type != found.type) return false;
    switch (expected.type) {
    case ValueType::real:
        return expected.real == found.real;
    case ValueType::boolean:
        return (expected.word != 0) == (found.word != 0);  // any non-zero word is true
    case ValueType::integer:
        return expected.word == found.word;
    case ValueType::custom:
        return false;
    }
    return false;
}

std::optional<Element> element_of(const Element* found) {
    return found != nullptr ? std::optional<Element>(*found) : std::nullopt;
}

}  // namespace

std::vector<DefaultDifference> compare_defaults(const Description& description,
                                                const Container& container) {
    using Kind = DefaultDifference::Kind;
    std::vector<DefaultDifference> out;
    std::set<int32_t> described;
    for (const Parameter& parameter : description.parameters()) {
        described.insert(parameter.id);
        const Element* found = container.element(parameter.id);
        DefaultDifference difference;
        difference.id = parameter.id;
        difference.parameter = &parameter;
        difference.found = element_of(found);
        if (!parameter.default_value.given()) {
            if (found == nullptr) continue;
            difference.kind = Kind::no_default;
        } else if (!(difference.expected = parameter.default_element())) {
            difference.kind = Kind::unholdable;
        } else if (found == nullptr) {
            difference.kind = Kind::missing;
        } else if (!same(*difference.expected, *found)) {
            difference.kind = Kind::different;
        } else {
            continue;
        }
        out.push_back(difference);
    }
    for (std::size_t i = 0; i < container.size(); ++i) {
        const Element& element = container.at(i);
        if (described.count(element.id) != 0) continue;
        DefaultDifference difference;
        difference.kind = Kind::not_described;
        difference.id = element.id;
        difference.found = element;
        out.push_back(difference);
    }
    return out;
}

std::vector<std::string> default_differences(const Description& description,
                                             const Container& container) {
    using Kind = DefaultDifference::Kind;
    std::vector<std::string> out;
    if (!description.fault().empty()) out.push_back(description.fault());
    for (const DefaultDifference& difference : compare_defaults(description, container)) {
        const std::string id = std::to_string(difference.id);
        switch (difference.kind) {
        case Kind::no_default:
            out.push_back(id + ": no default, " + value_text(*difference.found) + " found");
            break;
        case Kind::unholdable:
            out.push_back(id + ": a default of type \"" +
                          parameter_type_name(difference.parameter->type) +
                          "\" the host cannot hold");
            break;
        case Kind::missing:
            out.push_back(id + ": " + value_text(*difference.expected) + " expected, missing");
            break;
        case Kind::different:
            out.push_back(id + ": " + value_text(*difference.expected) + " expected, " +
                          value_text(*difference.found) + " found");
            break;
        case Kind::not_described:
            out.push_back(id + ": not described, " + value_text(*difference.found) + " found");
            break;
        }
    }
    return out;
}

std::string disagreement_text(const DefaultDifference& difference) {
    using Kind = DefaultDifference::Kind;
    const std::string written = difference.found
                                    ? "the module writes " + value_text(*difference.found)
                                    : std::string("the module writes nothing");
    if (difference.kind == Kind::not_described) {
        return "parameter " + std::to_string(difference.id) + " is not described, " + written;
    }
    const std::string name =
        difference.parameter->name + " (" + std::to_string(difference.id) + "): ";
    switch (difference.kind) {
    case Kind::no_default:
        return name + "the description gives no default, " + written;
    case Kind::unholdable:
        return name + "the description's default " + difference.parameter->default_value.json +
               " is not a " + parameter_type_name(difference.parameter->type) + ", " + written;
    default:
        return name + "the description gives " + value_text(*difference.expected) + ", " + written;
    }
}

}  // namespace tmhost
