#include "host/image/srgb.h"

#include <algorithm>
#include <array>

namespace tmhost {

namespace {

// kThresholds[k - 1] is the smallest float whose sRGB encoding, times 255, is at least k - 0.5:
// the linear light where code k begins. Worked out once in 60-digit decimal arithmetic from the
// sRGB transfer (linear = s / 12.92 up to s = 0.04045, else ((s + 0.055) / 1.055)^2.4, at
// s = (k - 0.5) / 255) and rounded up to a float; as exact literals, a search in them gives the
// same code on every build, which no pow() promises.
constexpr std::array<float, 255> kThresholds = {
    0x1.3e4568p-13f, 0x1.dd681cp-12f, 0x1.8dd6c2p-11f, 0x1.167cbcp-10f, 0x1.660e16p-10f,
    0x1.b59f7p-10f,  0x1.029866p-9f,  0x1.2a6112p-9f,  0x1.5229bep-9f,  0x1.79f26cp-9f,
    0x1.a1e5a2p-9f,  0x1.cbf736p-9f,  0x1.f86806p-9f,  0x1.13a0cp-8f,   0x1.2c4666p-8f,
    0x1.46297ap-8f,  0x1.614e62p-8f,  0x1.7db96ep-8f,  0x1.9b6edap-8f,  0x1.ba72cep-8f,
    0x1.dac95ep-8f,  0x1.fc768cp-8f,  0x1.0fbf22p-7f,  0x1.21f236p-7f,  0x1.34d664p-7f,
    0x1.486d9p-7f,   0x1.5cb98ep-7f,  0x1.71bc34p-7f,  0x1.877748p-7f,  0x1.9dec9p-7f,
    0x1.b51dc8p-7f,  0x1.cd0ca8p-7f,  0x1.e5bae2p-7f,  0x1.ff2a1ep-7f,  0x1.0cae04p-6f,
    0x1.1a291ep-6f,  0x1.28072cp-6f,  0x1.3648f8p-6f,  0x1.44ef4cp-6f,  0x1.53fafp-6f,
    0x1.636ca6p-6f,  0x1.73453p-6f,   0x1.838552p-6f,  0x1.942dc6p-6f,  0x1.a53f48p-6f,
    0x1.b6ba96p-6f,  0x1.c8a064p-6f,  0x1.daf16ap-6f,  0x1.edae5cp-6f,  0x1.006bf8p-5f,
    0x1.0a3768p-5f,  0x1.1439d8p-5f,  0x1.1e73ap-5f,   0x1.28e514p-5f,  0x1.338e8ap-5f,
    0x1.3e7058p-5f,  0x1.498acep-5f,  0x1.54de44p-5f,  0x1.606b08p-5f,  0x1.6c316ep-5f,
    0x1.7831c8p-5f,  0x1.846c64p-5f,  0x1.90e194p-5f,  0x1.9d91a4p-5f,  0x1.aa7ce6p-5f,
    0x1.b7a3a6p-5f,  0x1.c5063p-5f,   0x1.d2a4d4p-5f,  0x1.e07fdcp-5f,  0x1.ee9794p-5f,
    0x1.fcec48p-5f,  0x1.05bf2p-4f,   0x1.0d26e4p-4f,  0x1.14ad96p-4f,  0x1.1c5356p-4f,
    0x1.24184ep-4f,  0x1.2bfc9ep-4f,  0x1.34006ap-4f,  0x1.3c23d8p-4f,  0x1.446708p-4f,
    0x1.4cca2p-4f,   0x1.554d4p-4f,   0x1.5df08ep-4f,  0x1.66b42ap-4f,  0x1.6f9836p-4f,
    0x1.789cd6p-4f,  0x1.81c228p-4f,  0x1.8b0852p-4f,  0x1.946f72p-4f,  0x1.9df7acp-4f,
    0x1.a7a11ep-4f,  0x1.b16beap-4f,  0x1.bb5832p-4f,  0x1.c56614p-4f,  0x1.cf95b2p-4f,
    0x1.d9e72ap-4f,  0x1.e45aap-4f,   0x1.eef02ep-4f,  0x1.f9a7f8p-4f,  0x1.02410ep-3f,
    0x1.07bf5cp-3f,  0x1.0d4ef6p-3f,  0x1.12efecp-3f,  0x1.18a24cp-3f,  0x1.1e6628p-3f,
    0x1.243b8ap-3f,  0x1.2a2286p-3f,  0x1.301b2ap-3f,  0x1.362584p-3f,  0x1.3c41a2p-3f,
    0x1.426f96p-3f,  0x1.48af6cp-3f,  0x1.4f0132p-3f,  0x1.5564fap-3f,  0x1.5bdadp-3f,
    0x1.6262c2p-3f,  0x1.68fcep-3f,   0x1.6fa938p-3f,  0x1.7667d8p-3f,  0x1.7d38cep-3f,
    0x1.841c2ap-3f,  0x1.8b11f6p-3f,  0x1.921a44p-3f,  0x1.99352p-3f,   0x1.a06298p-3f,
    0x1.a7a2bap-3f,  0x1.aef594p-3f,  0x1.b65b34p-3f,  0x1.bdd3a8p-3f,  0x1.c55efcp-3f,
    0x1.ccfd3ep-3f,  0x1.d4ae7cp-3f,  0x1.dc72c4p-3f,  0x1.e44a22p-3f,  0x1.ec34a4p-3f,
    0x1.f43258p-3f,  0x1.fc434ap-3f,  0x1.0233c4p-2f,  0x1.064f8ep-2f,  0x1.0a750cp-2f,
    0x1.0ea444p-2f,  0x1.12dd3ap-2f,  0x1.171ff8p-2f,  0x1.1b6c82p-2f,  0x1.1fc2ep-2f,
    0x1.242316p-2f,  0x1.288d2cp-2f,  0x1.2d012ap-2f,  0x1.317f12p-2f,  0x1.3606eep-2f,
    0x1.3a98c4p-2f,  0x1.3f3498p-2f,  0x1.43da7p-2f,   0x1.488a56p-2f,  0x1.4d444cp-2f,
    0x1.52085cp-2f,  0x1.56d688p-2f,  0x1.5baedap-2f,  0x1.609154p-2f,  0x1.657ep-2f,
    0x1.6a74e2p-2f,  0x1.6f76p-2f,    0x1.748162p-2f,  0x1.79970ap-2f,  0x1.7eb702p-2f,
    0x1.83e14ep-2f,  0x1.8915f2p-2f,  0x1.8e54f8p-2f,  0x1.939e64p-2f,  0x1.98f23cp-2f,
    0x1.9e5084p-2f,  0x1.a3b944p-2f,  0x1.a92c82p-2f,  0x1.aeaa42p-2f,  0x1.b4328cp-2f,
    0x1.b9c564p-2f,  0x1.bf62dp-2f,   0x1.c50ad4p-2f,  0x1.cabd7ap-2f,  0x1.d07ac6p-2f,
    0x1.d642bap-2f,  0x1.dc1562p-2f,  0x1.e1f2bep-2f,  0x1.e7dad6p-2f,  0x1.edcdbp-2f,
    0x1.f3cb5p-2f,   0x1.f9d3bcp-2f,  0x1.ffe6fcp-2f,  0x1.03028ap-1f,  0x1.061704p-1f,
    0x1.0930eep-1f,  0x1.0c504ep-1f,  0x1.0f7524p-1f,  0x1.129f72p-1f,  0x1.15cf3ep-1f,
    0x1.190488p-1f,  0x1.1c3f54p-1f,  0x1.1f7fa4p-1f,  0x1.22c57cp-1f,  0x1.2610dcp-1f,
    0x1.2961c8p-1f,  0x1.2cb844p-1f,  0x1.301452p-1f,  0x1.3375f4p-1f,  0x1.36dd2cp-1f,
    0x1.3a49fep-1f,  0x1.3dbc6cp-1f,  0x1.413478p-1f,  0x1.44b226p-1f,  0x1.483578p-1f,
    0x1.4bbe7p-1f,   0x1.4f4d12p-1f,  0x1.52e15ep-1f,  0x1.567b5ap-1f,  0x1.5a1b06p-1f,
    0x1.5dc064p-1f,  0x1.616b7ap-1f,  0x1.651c48p-1f,  0x1.68d2dp-1f,   0x1.6c8f16p-1f,
    0x1.70511ep-1f,  0x1.7418e6p-1f,  0x1.77e674p-1f,  0x1.7bb9cap-1f,  0x1.7f92eap-1f,
    0x1.8371d6p-1f,  0x1.87569p-1f,   0x1.8b411ep-1f,  0x1.8f317ep-1f,  0x1.9327b6p-1f,
    0x1.9723c6p-1f,  0x1.9b25bp-1f,   0x1.9f2d7ap-1f,  0x1.a33b24p-1f,  0x1.a74ebp-1f,
    0x1.ab6822p-1f,  0x1.af877cp-1f,  0x1.b3acbep-1f,  0x1.b7d7eep-1f,  0x1.bc090cp-1f,
    0x1.c0401cp-1f,  0x1.c47d2p-1f,   0x1.c8c018p-1f,  0x1.cd090ap-1f,  0x1.d157f6p-1f,
    0x1.d5acep-1f,   0x1.da07cap-1f,  0x1.de68b4p-1f,  0x1.e2cfa4p-1f,  0x1.e73c9ap-1f,
    0x1.ebaf98p-1f,  0x1.f028a2p-1f,  0x1.f4a7bap-1f,  0x1.f92ce2p-1f,  0x1.fdb81cp-1f,
};

}  // namespace

std::uint8_t srgb_code(float light) {
    if (!(light > 0.0f)) return 0;  // NaN too
    const auto above = std::upper_bound(kThresholds.begin(), kThresholds.end(), light);
    return static_cast<std::uint8_t>(above - kThresholds.begin());
}

float srgb_threshold(int code) {
    return code >= 1 && code <= 255 ? kThresholds[static_cast<std::size_t>(code - 1)] : 0.0f;
}

}  // namespace tmhost
