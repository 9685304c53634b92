#pragma once

// What the programs that refine with OpenSubdiv (the tests' reference and the
// benchmark's peer) hand its PrimvarRefiner: positions and texture coordinates.

// A value OpenSubdiv's PrimvarRefiner can blend: N floats.
template <int N>
struct Primvar {
    float v[N];
    void Clear() {
        for (float& x : v) {
            x = 0.0f;
        }
    }
    void AddWithWeight(const Primvar& src, float weight) {
        for (int i = 0; i < N; ++i) {
            v[i] += weight * src.v[i];
        }
    }
};
using Point = Primvar<3>;
using Uv = Primvar<2>;
