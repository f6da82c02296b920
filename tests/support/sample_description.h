// A small description with one parameter of each kind, a group with and one without a label, and
// choices: for the tests of the description model and of the values checked against it.
#ifndef TONEMIX_TEST_SAMPLE_DESCRIPTION_H
#define TONEMIX_TEST_SAMPLE_DESCRIPTION_H

namespace tonemix_test {

inline const char* const kSampleDescription = R"({
  "name": "Xtest",
  "groups": [ { "id": "s", "label": "Sampling" }, { "id": "x" } ],
  "parameters": [
    { "id": 1, "name": "TONEMIX_COUNT", "label": "Count", "type": "long", "default": 3,
      "min": 1, "max": 10, "group": "s" },
    { "id": 2, "name": "TONEMIX_SIZE", "type": "real", "min": 0.0, "max": 2.5, "group": "x" },
    { "id": 3, "name": "TONEMIX_ON", "type": "bool", "default": true },
    { "id": 4, "name": "TONEMIX_WAY", "type": "long",
      "choices": [ { "value": 0, "label": "Round" },
                   { "value": 7, "label": "along the normal" } ] },
    { "id": 5, "name": "TONEMIX_ANY", "type": "long" },
    { "id": 6, "name": "TONEMIX_LIST", "type": "lightlist", "custom_type": 1009290 }
  ]
})";

}  // namespace tonemix_test

#endif
