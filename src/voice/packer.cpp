#include "voice/packer.h"

#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "voice/sample_rates.h"

namespace {

constexpr int32_t kBadOrder = 2003;
constexpr int32_t kBadDepth = 2004;
constexpr int32_t kBadRate = 2005;
constexpr int32_t kNoMemory = 2007;
constexpr int32_t kReadError = 2001;

constexpr uint16_t kMinStep = 32;
constexpr uint8_t kFirstByte = 32;
constexpr int32_t kMaxBlocksPerSegment = 127;

}  // namespace

const std::vector<uint8_t>& PackerWindow(int32_t n) {
    static std::mutex mutex;
    static std::map<int32_t, std::vector<uint8_t>> tables;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = tables.find(n);
    if (it != tables.end()) return it->second;
    std::vector<uint8_t> w(static_cast<size_t>(n) + 40, 0);
    const float d = static_cast<float>(6.2831852 / (n - 1));
    const int32_t half = n / 2;
    for (int32_t i = 0; i < half; ++i) {
        const double x = static_cast<double>(i - half) * static_cast<double>(d);
        const float v = static_cast<float>(64.0 * std::sqrt(0.54 + 0.46 * std::cos(x)));
        const uint8_t e = static_cast<uint8_t>(static_cast<int32_t>(v));
        w[static_cast<size_t>(i)] = e;
        w[static_cast<size_t>(n - 1 - i)] = e;
    }
    return tables.emplace(n, std::move(w)).first->second;
}

bool SolvePredictor(const int32_t ri[4], int8_t coef[3]) {
    // Single precision, one rounding per operation: the coefficients must come out as the
    // informer's own tools compute them.
    const float r[4] = {static_cast<float>(ri[0]), static_cast<float>(ri[1]), static_cast<float>(ri[2]),
                        static_cast<float>(ri[3])};
    if (std::fabs(r[0]) < 0.00001f) return false;
    float c[3] = {0.0f, 0.0f, 0.0f};
    float g[3] = {0.0f, 0.0f, 0.0f};
    c[0] = r[1] / r[0];
    float e = r[0];
    for (int s = 1; s <= 2; ++s) {
        float alpha = r[s];
        for (int t = 1; t < s; ++t) alpha = alpha + g[t] * r[s - t];
        float beta = c[0] * r[s];
        for (int t = 1; t < s; ++t) beta = beta + c[t] * r[s - t];
        const float kappa = -alpha / e;
        e = e * (1.0f - kappa * kappa);
        if (!(e > 0.0f)) return false;  // also a zero or undefined residual energy
        g[s] = kappa;
        const float mu = (r[s + 1] - beta) / e;
        for (int t = 1; t <= s / 2; ++t) {
            const int u = s - t;
            const float old = g[t];
            g[t] = g[t] + kappa * g[u];
            if (t != u) g[u] = g[u] + kappa * old;
        }
        c[s] = mu;
        for (int t = 0; t < s; ++t) c[t] = c[t] + mu * g[s - t];
    }
    int8_t out[3];
    for (int i = 0; i < 3; ++i) {
        float v = c[i] * 64.0f;
        if (std::isnan(v)) return false;
        if (v > 127.0f) v = 127.0f;
        if (v < -127.0f) v = -127.0f;
        out[i] = static_cast<int8_t>(static_cast<int32_t>(v));
    }
    std::memcpy(coef, out, 3);
    return true;
}

int16_t PredictionSum(const int8_t coef[3], int16_t y1, int16_t y2, int16_t y3) {
    return static_cast<int16_t>(coef[0] * y1 + coef[1] * y2 + coef[2] * y3);
}

static inline uint16_t NextStep(uint16_t step, uint8_t q) {
    const uint16_t s3 = static_cast<uint16_t>((3u * step) / 2);
    uint32_t ns = (q & 1) ? s3 : s3 / 2u;
    if (ns < kMinStep) ns = kMinStep;
    if (ns > 32767) ns = 32767;
    return static_cast<uint16_t>(ns);
}

static inline int16_t Reconstruct(int16_t p, uint16_t step, uint8_t q) {
    const int32_t delta = (q & 2) ? -static_cast<int32_t>(step) : static_cast<int32_t>(step);
    int32_t y = static_cast<int16_t>(p + delta) >> 6;
    if (y > 127) y = 127;
    if (y < -127) y = -127;
    return static_cast<int16_t>(y);
}

DecodeStep PredictAndStep(const int8_t coef[3], int16_t y1, int16_t y2, int16_t y3, uint16_t step, uint8_t q) {
    const uint16_t ns = NextStep(step, q);
    return {ns, Reconstruct(PredictionSum(coef, y1, y2, y3), ns, q)};
}

TinfVoice::TinfVoice(int32_t order, int32_t rate, int32_t depth) : order_(order), depth_(depth) {
    if (order != 3) {
        ErrorCode = kBadOrder;
        return;
    }
    int32_t match = 0;
    for (int32_t c : kSampleRates) {
        if (c - c / 8 < rate && rate < c + c / 8) {
            match = c;
            break;
        }
    }
    if (match == 0) {
        ErrorCode = kBadRate;
        return;
    }
    if (depth < 3 || depth > 40) {
        ErrorCode = kBadDepth;
        return;
    }
    const int32_t k = (match + match / 8) / 1000;
    nominal_ = k * 1000;
    const int32_t half = (k + 1) / 2;
    b_ = 8 * half;
    l1_ = 40 * half;
    l2_ = 16 * half;
    n_ = l1_ + 2 * l2_;
    stages_ = depth + order + 2;
    try {
        buf_.assign(static_cast<size_t>(n_), 0);
        ring_.assign(3 * static_cast<size_t>(b_), 0);
        windowed_.assign(static_cast<size_t>(n_), 0);
        trellis_.assign(static_cast<size_t>(stages_), Stage{});
    } catch (const std::bad_alloc&) {
        ErrorCode = kNoMemory;
    }
}

TinfVoice::~TinfVoice() = default;

int32_t TinfVoice::Level(const int8_t* s) const {
    int32_t sum = 0;
    for (int32_t i = 0; i < b_; ++i) sum += s[i];
    const int32_t mean = sum / b_;
    int32_t acc = 0;
    for (int32_t i = 0; i < b_; ++i) {
        const int32_t d = s[i] - mean;
        acc += d * d;
    }
    return acc / b_;
}

void TinfVoice::ReadInput(int8_t* dest, int32_t count) {
    conv_.ReadSamples(dest, count);
    if (conv_.ErrorCode != 0 && ErrorCode == 0) ErrorCode = conv_.ErrorCode;
}

void TinfVoice::RotateRing() {
    std::memmove(ring_.data(), ring_.data() + b_, 2 * static_cast<size_t>(b_));
    if (ringCount_ < 3) ++ringCount_;
    ReadInput(ring_.data() + 2 * b_, b_);
}

bool TinfVoice::Pack(const std::string& outPath, const std::string& inPath) {
    if (ErrorCode != 0 && n_ == 0) return false;  // the constructor failed
    ErrorCode = 0;
    conv_.ErrorCode = 0;
    conv_.SetFileName(inPath);
    conv_.Open();
    ErrorCode = conv_.ErrorCode;
    if (ErrorCode != 0) return false;
    bool ok = false;
    try {
        window_ = &PackerWindow(n_);
        out_ = std::make_unique<TPackedVoice>(outPath, order_, nominal_, kFirstByte, conv_.RateClass());
        if (out_->ErrorCode != 0) {
            ErrorCode = out_->ErrorCode;
        } else {
            ok = Run();
        }
    } catch (const std::bad_alloc&) {
        ErrorCode = kNoMemory;
        ok = false;
    }
    out_.reset();  // a writer not finished removes its temporary file
    conv_.Close();
    return ok;
}

bool TinfVoice::Run() {
    state_ = 0;
    silence_ = 0;
    ringCount_ = 0;
    blocks_ = 0;
    firstBlock_ = false;
    std::memset(coef_, 0, sizeof coef_);
    coef_[0] = 64;
    for (;;) {
        if (ErrorCode != 0) return false;
        if (out_->ErrorCode != 0 || conv_.ErrorCode != 0) {
            ErrorCode = out_->ErrorCode != 0 ? out_->ErrorCode : conv_.ErrorCode;
            return false;
        }
        if (conv_.Remaining() <= 0 || !conv_.HasData()) break;
        switch (state_) {
            case 0:
                RotateRing();
                if (Level(ring_.data() + 2 * b_) >= 1) state_ = 1;
                ++silence_;
                break;
            case 1: {
                RotateRing();
                coef_[0] = 64;
                coef_[1] = 0;
                coef_[2] = 0;
                state_ = 2;
                out_->WriteSilence(silence_ - 2, b_);
                out_->BeginSegment();
                int8_t* p = buf_.data();
                std::memset(p, 0, static_cast<size_t>(l2_));
                p += l2_;
                for (int slot = 0; slot < 3; ++slot, p += b_) {
                    if (slot < 3 - ringCount_)
                        std::memset(p, 0, static_cast<size_t>(b_));
                    else
                        std::memcpy(p, ring_.data() + slot * b_, static_cast<size_t>(b_));
                }
                ReadInput(p, l1_ - 3 * b_ + l2_);
                blocks_ = 1;
                firstBlock_ = true;
                CodeBlock();
                break;
            }
            case 2:
            case 3: {
                bool testLevel = true;
                if (state_ == 3) {
                    if (Level(buf_.data() + l2_ + l1_) <= 1) {
                        state_ = 0;
                        out_->EndSegment(blocks_);
                        ringCount_ = 0;
                        silence_ = 2;  // the look-ahead dropped with the sound is two level blocks
                        break;
                    }
                    state_ = 2;
                    testLevel = false;
                }
                std::memmove(buf_.data(), buf_.data() + l1_, static_cast<size_t>(n_ - l1_));
                ReadInput(buf_.data() + (n_ - l1_), l1_);
                if (blocks_ == kMaxBlocksPerSegment) {
                    out_->EndSegment(blocks_);
                    out_->BeginSegment();
                    blocks_ = 0;
                }
                if (testLevel && Level(buf_.data() + l2_) <= 1) state_ = 3;
                ++blocks_;
                CodeBlock();
                break;
            }
        }
    }
    if (state_ == 0 || state_ == 1)
        out_->WriteSilence(silence_, b_);
    else
        out_->EndSegment(blocks_);
    if (out_->Finish() < 0) {
        ErrorCode = out_->ErrorCode;
        return false;
    }
    return true;
}

void TinfVoice::Analyse() {
    const uint8_t* w = window_->data();
    const int8_t* s = buf_.data();
    int8_t* v = windowed_.data();
    for (int32_t i = 0; i < n_; ++i) v[i] = static_cast<int8_t>((s[i] * w[i]) >> 6);
    int32_t r[4];
    for (int j = 0; j < 4; ++j) {
        int32_t acc = 0;
        for (int32_t i = 0; i < n_ - j; ++i) acc += v[i] * v[i + j];
        r[j] = acc;
    }
    SolvePredictor(r, coef_);
}

void TinfVoice::CodeBlock() {
    Analyse();
    out_->WriteCoefficients(coef_);
    if (stepwise_ || depth_ > kMaxPathDepth)
        Search<true>();
    else
        Search<false>();
}

// Without the stepwise rebates a metric is the sum of the errors along the whole path instead of
// the part after the decided node. Every node alive in one stage shares the decided nodes, so
// both forms differ by the same amount within a stage and every comparison comes out the same;
// the sums start again from 0 at each block, which keeps them far from overflowing.
template <bool kStepwise>
void TinfVoice::Search() {
    if (firstBlock_) {
        Node start;
        start.alive = true;
        start.step = kMinStep;
        for (int st = 0; st < order_; ++st) {
            trellis_[static_cast<size_t>(st)] = Stage{};
            trellis_[static_cast<size_t>(st)].slot[0] = start;
        }
        newest_ = order_ - 1;
        decision_ = order_;
        firstBlock_ = false;
    } else {
        // What was searched beyond the previous block used its coefficients: search again from
        // the last decided node, the only one alive in its stage.
        newest_ = (decision_ + stages_ - 1) % stages_;
        if constexpr (!kStepwise)
            for (Node& n : trellis_[static_cast<size_t>(newest_)].slot) n.metric = 0;
    }
    const int8_t* x = buf_.data() + l2_;
    for (int32_t j = 0; j < depth_; ++j) Extend<kStepwise>(x[j]);
    Decide<kStepwise>();
    for (int32_t n = 1; n < l1_; ++n) {
        Extend<kStepwise>(x[n + depth_ - 1]);
        Decide<kStepwise>();
    }
}

template <bool kStepwise>
void TinfVoice::Extend(int8_t x) {
    const int prev = newest_;
    const int prev2 = prev == 0 ? stages_ - 1 : prev - 1;
    const int prev3 = prev2 == 0 ? stages_ - 1 : prev2 - 1;
    newest_ = newest_ + 1 == stages_ ? 0 : newest_ + 1;
    Stage& st = trellis_[static_cast<size_t>(newest_)];
    const Stage& ps = trellis_[static_cast<size_t>(prev)];
    const Stage& ps2 = trellis_[static_cast<size_t>(prev2)];
    const Stage& ps3 = trellis_[static_cast<size_t>(prev3)];

    // All candidates first, four per alive parent in slot order (code = index % 4), then their
    // placement on metrics alone: only the nodes that stay are written.
    int32_t metric[16];
    int16_t recon[16];
    uint16_t step[16];
    uint8_t parentOf[4];
    int groups = 0;
    for (int p = 0; p < 4; ++p) {
        const Node& pn = ps.slot[p];
        if (!pn.alive) continue;
        const Node& gp = ps2.slot[pn.parent];
        const int16_t y3 = ps3.slot[gp.parent].recon;
        const int16_t pred = PredictionSum(coef_, pn.recon, gp.recon, y3);
        const uint16_t steps[2] = {NextStep(pn.step, 0), NextStep(pn.step, 1)};
        parentOf[groups] = static_cast<uint8_t>(p);
        for (uint8_t q = 0; q < 4; ++q) {
            const int c = groups * 4 + q;
            step[c] = steps[q & 1];
            recon[c] = Reconstruct(pred, step[c], q);
            const int32_t d = x - recon[c];
            metric[c] = pn.metric + d * d;
        }
        ++groups;
    }
    const int count = groups * 4;
    const int filled = count < 4 ? count : 4;
    int chosen[4] = {0, 1, 2, 3};
    if (count > 4) {
        // Kept in registers and chosen without branches: which candidate replaces which slot
        // follows the sound and would defeat branch prediction.
        int32_t k0 = metric[0], k1 = metric[1], k2 = metric[2], k3 = metric[3];
        int c0 = 0, c1 = 1, c2 = 2, c3 = 3;
        for (int c = 4; c < count; ++c) {
            // The slot a candidate may replace: the largest metric, the lowest slot among equals.
            const int w01 = k1 > k0 ? 1 : 0;
            const int32_t m01 = k1 > k0 ? k1 : k0;
            const int w23 = k3 > k2 ? 3 : 2;
            const int32_t m23 = k3 > k2 ? k3 : k2;
            const int worst = m23 > m01 ? w23 : w01;
            const int32_t largest = m23 > m01 ? m23 : m01;
            const int32_t m = metric[c];
            const int target = largest > m ? worst : -1;
            k0 = target == 0 ? m : k0;
            c0 = target == 0 ? c : c0;
            k1 = target == 1 ? m : k1;
            c1 = target == 1 ? c : c1;
            k2 = target == 2 ? m : k2;
            c2 = target == 2 ? c : c2;
            k3 = target == 3 ? m : k3;
            c3 = target == 3 ? c : c3;
        }
        chosen[0] = c0;
        chosen[1] = c1;
        chosen[2] = c2;
        chosen[3] = c3;
    }
    for (int i = 0; i < 4; ++i) {
        Node& nn = st.slot[i];
        if (i >= filled) {
            nn.alive = false;
            continue;
        }
        const int c = chosen[i];
        const int p = parentOf[c / 4];
        const Node& pn = ps.slot[p];
        nn.alive = true;
        nn.code = static_cast<uint8_t>(c % 4);
        nn.step = step[c];
        nn.parent = static_cast<uint8_t>(p);
        nn.metric = metric[c];
        nn.recon = recon[c];
        if constexpr (kStepwise) {
            nn.error = metric[c] - pn.metric;
        } else {
            nn.path = (pn.path << 2) | static_cast<uint64_t>(p);
        }
    }
}

template <bool kStepwise>
void TinfVoice::Decide() {
    Stage& last = trellis_[static_cast<size_t>(newest_)];
    int best = -1;
    for (int i = 0; i < 4; ++i)
        if (last.slot[i].alive && (best < 0 || last.slot[i].metric < last.slot[best].metric)) best = i;
    if (best < 0) best = 0;
    // The decided node is depth - 1 stages back from the newest.
    const int shift = 2 * (depth_ - 2);
    int slot;
    if constexpr (kStepwise) {
        // Stage indexes wrap by hand: a division per step would cost more than the search itself.
        int stage = newest_;
        slot = best;
        for (int32_t k = 0; k < depth_ - 1; ++k) {
            slot = trellis_[static_cast<size_t>(stage)].slot[slot].parent;
            stage = stage == 0 ? stages_ - 1 : stage - 1;
        }
    } else {
        slot = static_cast<int>((last.slot[best].path >> shift) & 3u);
    }
    Stage& ds = trellis_[static_cast<size_t>(decision_)];
    for (int i = 0; i < 4; ++i)
        if (i != slot) ds.slot[i].alive = false;
    const Node decided = ds.slot[slot];
    if constexpr (kStepwise) {
        int before = decision_;
        int cur = decision_;
        for (int32_t k = 1; k < depth_; ++k) {
            cur = cur + 1 == stages_ ? 0 : cur + 1;
            Stage& cs = trellis_[static_cast<size_t>(cur)];
            const Stage& bs = trellis_[static_cast<size_t>(before)];
            // Without branches: which nodes survive follows the sound and defeats prediction.
            for (Node& n : cs.slot) {
                const bool keep = n.alive && bs.slot[n.parent].alive;
                n.alive = keep;
                n.metric -= keep ? decided.error : 0;
            }
            before = cur;
        }
    } else {
        // Only the newest stage is extended from; a node in it lives on when its path passes
        // through the decided node.
        for (Node& n : last.slot)
            n.alive = n.alive && static_cast<int>((n.path >> shift) & 3u) == slot;
    }
    out_->WriteCode(decided.code);
    if (sink_) sink_->push_back(static_cast<int8_t>(decided.recon));
    decision_ = decision_ + 1 == stages_ ? 0 : decision_ + 1;
}
