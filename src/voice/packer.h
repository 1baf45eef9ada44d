#pragma once
// The informer's voice packer: 2 bits per sample, adaptive 3-tap prediction with the codes chosen
// by a delayed-decision trellis search, and run counts for silence.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "voice/conv_voice.h"
#include "voice/error_code.h"
#include "voice/packed_voice.h"

class TinfVoice : public TErrorCode {
public:
    // Sets ErrorCode: 2003 order not 3, 2005 no table rate matches, 2004 depth outside 3..40.
    TinfVoice(int32_t order, int32_t rate, int32_t depth);
    ~TinfVoice();
    TinfVoice(const TinfVoice&) = delete;
    TinfVoice& operator=(const TinfVoice&) = delete;

    // Packs the sound file inPath (native path) into outPath (native path, written under a
    // temporary name and renamed when complete). False on failure, ErrorCode says why.
    bool Pack(const std::string& outPath, const std::string& inPath);

    TinfConvVoice& Conv() { return conv_; }

    // Receives the reconstruction of every coded sample, in order, as the search decides it
    // (what the informer's decoder must reproduce). nullptr to stop.
    void SetReconstructionSink(std::vector<int8_t>* sink) { sink_ = sink; }

    // The search done step by step as it is defined: every decision walks the paths back and
    // kills and rebates every later stage. The packer uses it for depths above kMaxPathDepth; for
    // the others it keeps each node's path in bits and gets the same codes in a fraction of the
    // time. Kept selectable so that the two can be compared.
    void SetStepwiseSearch(bool on) { stepwise_ = on; }
    static constexpr int32_t kMaxPathDepth = 33;

    // Sizes derived from the parameters.
    int32_t Order() const { return order_; }
    int32_t NominalRate() const { return nominal_; }
    int32_t Depth() const { return depth_; }
    int32_t BlockLen() const { return b_; }
    int32_t CodeLen() const { return l1_; }
    int32_t Margin() const { return l2_; }
    int32_t AnalysisLen() const { return n_; }
    int32_t StageCount() const { return stages_; }

    struct Node {
        bool alive = false;
        uint8_t code = 0;
        uint16_t step = 0;
        uint8_t parent = 0;
        int32_t error = 0;
        int32_t metric = 0;
        int16_t recon = 0;
        uint64_t path = 0;  // slots of the ancestors, the parent's in the lowest two bits
    };

private:
    struct Stage {
        std::array<Node, 4> slot;
    };

    bool Run();
    int32_t Level(const int8_t* s) const;
    void ReadInput(int8_t* dest, int32_t count);
    void RotateRing();
    void CodeBlock();
    void Analyse();
    template <bool kStepwise>
    void Search();
    template <bool kStepwise>
    void Extend(int8_t x);
    template <bool kStepwise>
    void Decide();

    TinfConvVoice conv_;
    std::unique_ptr<TPackedVoice> out_;
    int32_t order_ = 0, nominal_ = 0, depth_ = 0;
    int32_t b_ = 0, l1_ = 0, l2_ = 0, n_ = 0, stages_ = 0;
    const std::vector<uint8_t>* window_ = nullptr;

    std::vector<int8_t> buf_;       // analysis buffer: history, code block, look-ahead
    std::vector<int8_t> ring_;      // three level blocks, oldest first
    int ringCount_ = 0;             // filled ring blocks (the newest ones)
    std::vector<int8_t> windowed_;
    std::vector<Stage> trellis_;
    int newest_ = 0, decision_ = 0;
    int8_t coef_[3] = {64, 0, 0};
    int state_ = 0;
    int32_t silence_ = 0;
    int32_t blocks_ = 0;
    bool firstBlock_ = false;
    bool stepwise_ = false;
    std::vector<int8_t>* sink_ = nullptr;
};

// The Hann-like window of the analysis for length n (entries 0..n-1, then 40 zero bytes), built
// once per length and shared by every packer.
const std::vector<uint8_t>& PackerWindow(int32_t n);

// Linear prediction of one analysis block, as the packer does it: autocorrelations r[0..3] of the
// windowed signal solved in single precision. False when the recursion fails (coefficients kept).
bool SolvePredictor(const int32_t r[4], int8_t coef[3]);

// One step of the informer's decoder: new step and output sample for code q, given the prediction
// history y1 (newest), y2, y3, the coefficients and the current step.
struct DecodeStep {
    uint16_t step;
    int16_t y;
};
DecodeStep PredictAndStep(const int8_t coef[3], int16_t y1, int16_t y2, int16_t y3, uint16_t step, uint8_t q);
// The 16-bit wrapped prediction sum c0*y1 + c1*y2 + c2*y3.
int16_t PredictionSum(const int8_t coef[3], int16_t y1, int16_t y2, int16_t y3);
