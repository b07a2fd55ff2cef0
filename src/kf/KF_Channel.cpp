// Channel sampling, linear interpolation and the heading-pitch-bank rotation blend.
// All arithmetic is single precision.
#include "kf/KF_Channel.h"

#include "kf/KF_Build.h"

#include <cmath>

namespace {

inline float wordAsFloat(const uint32_t* w) {
    float f;
    std::memcpy(&f, w, 4);
    return f;
}

inline float firstFloat(const KF_Node* node, int k) {
    if (k >= node->b) return 0.0f;
    float f;
    std::memcpy(&f, static_cast<const char*>(node->data) + 4 * k, 4);
    return f;
}

// Component value at frame f, each component split at the caller's frame.
inline float lerpChannel(int32_t count, const void* data, float f) {
    float frame = f;
    const KF_Split s = KF_ChannelSplit(count, data, &frame);
    if (s.clamped) return s.lo;
    return s.lo + (f - static_cast<float>(s.i)) * (s.hi - s.lo);
}

bool isChannelArray(const KF_Node* node, int32_t elements) {
    return node && node->kind == KF_ARRAY && node->a == KF_FP_C && node->b == elements;
}

bool isConstant(const KF_Node* node) { return node && node->kind == KF_VALUE && node->a == KF_FP; }

// ---- rotations ------------------------------------------------------------------------------

struct Quat {
    float x, y, z, w;
};

Quat fromEuler(float a, float b, float c) {
    const float sa = std::sin(a * 0.5f), ca = std::cos(a * 0.5f);
    const float sb = std::sin(b * 0.5f), cb = std::cos(b * 0.5f);
    const float sc = std::sin(c * 0.5f), cc = std::cos(c * 0.5f);
    Quat q;
    q.x = cc * cb * sa - sb * sc * ca;
    q.y = cc * sb * ca + cb * sc * sa;
    q.z = cb * sc * ca - cc * sb * sa;
    q.w = cc * cb * ca + sb * sc * sa;
    const float n = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    if (n != 1.0f) {
        const float inv = 1.0f / std::sqrt(n);
        q.x *= inv;
        q.y *= inv;
        q.z *= inv;
        q.w *= inv;
    }
    return q;
}

KF_FP3 toEuler(const Quat& q) {
    const float x2 = q.x * q.x, y2 = q.y * q.y, z2 = q.z * q.z, w2 = q.w * q.w;
    float t = 2.0f * (q.w * q.y - q.x * q.z);
    if (t > 1.0f) t = 1.0f;
    if (t < -1.0f) t = -1.0f;
    KF_FP3 e;
    e.x = std::atan2(2.0f * (q.y * q.z + q.x * q.w), -x2 - y2 + z2 + w2);
    e.y = std::asin(t);
    e.z = std::atan2(2.0f * (q.x * q.y + q.z * q.w), x2 - y2 - z2 + w2);
    return e;
}

KF_FP3 toEulerExchanged(const Quat& q) { return toEuler(Quat{q.y, q.x, q.z, q.w}); }

// Not renormalised: the angle conversion that follows does not need a unit quaternion.
Quat slerp(Quat a, const Quat& b, float t) {
    float d = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    if (d < 0.0f) {
        a = Quat{-a.x, -a.y, -a.z, -a.w};
        d = -d;
    }
    float wa, wb;
    if (1.0f - d >= 0.05f) {
        const float theta = std::acos(d);
        const float s = std::sin(theta);
        wa = std::sin((1.0f - t) * theta) / s;
        wb = std::sin(t * theta) / s;
    } else {
        wa = 1.0f - t;
        wb = t;
    }
    return Quat{wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w};
}

KF_FP3 hpbToXyz(const Quat& q) {
    const KF_FP3 e = toEuler(q);
    return toEulerExchanged(fromEuler(e.x, e.y, e.z));
}

}  // namespace

float KF_ChannelSample(const void* data, uint32_t index, KF_Cursor* cursor) {
    const uint32_t* b = cursor->block;
    uint32_t first = cursor->first;
    for (;;) {
        const uint32_t n = b[1];
        if (index - first < n) break;
        first += n;
        b += b[0] == KF_RUN ? 3 : size_t(n) + 2;
    }
    cursor->block = b;
    cursor->first = first;
    (void)data;
    return wordAsFloat(b + 2 + (b[0] == KF_RUN ? 0 : index - first));
}

KF_Split KF_ChannelSplit(int32_t count, const void* data, float* frame) {
    KF_Split s = {0, 0.0f, 0.0f, 1};
    if (count <= 0) {
        *frame = 0.0f;
        return s;
    }
    KF_Cursor cursor = {static_cast<const uint32_t*>(data), 0};
    const float f = *frame;
    if (!(f > 0.0f)) {  // also NaN
        *frame = 0.0f;
        s.lo = s.hi = KF_ChannelSample(data, 0, &cursor);
        return s;
    }
    // Compared as a float first so that huge frames never reach the integer conversion.
    if (f < static_cast<float>(count - 1)) {
        const int32_t i = static_cast<int32_t>(f);
        if (i < count - 1) {
            s.i = i;
            s.clamped = 0;
            s.lo = KF_ChannelSample(data, uint32_t(i), &cursor);
            s.hi = KF_ChannelSample(data, uint32_t(i) + 1, &cursor);
            return s;
        }
    }
    s.i = count - 1;
    *frame = static_cast<float>(count - 1);
    s.lo = s.hi = KF_ChannelSample(data, uint32_t(count - 1), &cursor);
    return s;
}

float KF_FP_Lerp(const KF_Node* node, float frame) {
    if (!node) return 0.0f;
    if (node->kind == KF_ARRAY) {
        kfLog("KF_FP_Lerp not supported on array\n");
        return 0.0f;
    }
    if (node->kind != KF_VALUE) return 0.0f;
    if (node->a == KF_FP) return firstFloat(node, 0);
    if (node->a != KF_FP_C) return 0.0f;
    return lerpChannel(node->b, node->data, frame);
}

KF_FP2 KF_FP2_Lerp(const KF_Node* node, float frame) {
    if (isConstant(node)) return KF_FP2{firstFloat(node, 0), firstFloat(node, 1)};
    if (isChannelArray(node, 2)) {
        const KF_Element* e = node->elements;
        return KF_FP2{lerpChannel(e[0].count, e[0].data, frame), lerpChannel(e[1].count, e[1].data, frame)};
    }
    kfLog("KF_FP2_Lerp: unsupported value/valtype/array size\n");
    return KF_FP2{0.0f, 0.0f};
}

KF_FP3 KF_FP3_Lerp(const KF_Node* node, float frame) {
    if (isConstant(node)) return KF_FP3{firstFloat(node, 0), firstFloat(node, 1), firstFloat(node, 2)};
    if (isChannelArray(node, 3)) {
        const KF_Element* e = node->elements;
        return KF_FP3{lerpChannel(e[0].count, e[0].data, frame), lerpChannel(e[1].count, e[1].data, frame),
                      lerpChannel(e[2].count, e[2].data, frame)};
    }
    kfLog("KF_FP3_Lerp: unsupported value/valtype/array size\n");
    return KF_FP3{0.0f, 0.0f, 0.0f};
}

KF_FP3 KF_FP3_Slerp_HPB_To_XYZ(const KF_Node* node, float frame) {
    if (isConstant(node)) return hpbToXyz(fromEuler(firstFloat(node, 0), firstFloat(node, 1), firstFloat(node, 2)));
    if (isChannelArray(node, 3)) {
        float lo[3], hi[3];
        float t = 0.0f;
        for (int k = 0; k < 3; ++k) {
            float f = frame;
            const KF_Split s = KF_ChannelSplit(node->elements[k].count, node->elements[k].data, &f);
            lo[k] = s.lo;
            hi[k] = s.hi;
            // Every component that is not clamped has the same fraction; a clamped one has
            // lo == hi, so its weight does not matter.
            if (!s.clamped) t = frame - static_cast<float>(s.i);
        }
        const Quat qa = fromEuler(lo[0], lo[1], lo[2]);
        const Quat qb = fromEuler(hi[0], hi[1], hi[2]);
        return hpbToXyz(slerp(qa, qb, t));
    }
    kfLog("KF_FP3_Slerp_HPB_To_XYZ: unsupported value/valtype/array size\n");
    return KF_FP3{0.0f, 0.0f, 0.0f};
}
