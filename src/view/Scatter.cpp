// Single scattering after O'Neil, "Accurate Atmospheric Scattering", GPU Gems 2 (2005), chapter
// 16, evaluated per vertex on the CPU. The optical-depth table follows Nishita, Sirai, Tadamura
// and Nakamae, "Display of the Earth Taking into Account Atmospheric Scattering", SIGGRAPH 1993.
//
// Stored values are 32-bit floats; each expression is evaluated in double and rounded once when
// stored, as in the engine's vector functions, which are not called here only because this file
// runs them tens of thousands of times per update and they do not inline across libraries.
#include "view/Scatter.h"

#include "engine/VectorGeometry.h"
#include "engine/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace meridia {

namespace {

constexpr int32_t kTableSize = 128;
constexpr int32_t kTableChannels = 4;
constexpr int32_t kTableSamples = 50;

double DotD(const Vector3f& a, const Vector3f& b) {
  return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
         static_cast<double>(a.z) * b.z;
}

double LengthD(const Vector3f& v) {
  return std::sqrt(DotD(v, v));
}

Vector3f AddScaled(const Vector3f& v, const Vector3f& w, double s) {
  return {static_cast<float>(v.x + w.x * s), static_cast<float>(v.y + w.y * s),
          static_cast<float>(v.z + w.z * s)};
}

// Trunc(scale * value) kept inside the byte; a NaN, which only a degenerate view can produce,
// counts as 0.
uint8_t ToByte(double value) {
  if (!(value > 0.0)) {
    return 0;
  }
  return static_cast<uint8_t>(std::min(value, 255.0));
}

// The values that every vertex of one update shares, copied out of the sky so that the loops
// keep them in registers instead of reloading them past every store.
struct ScatterView {
  const CPixelBuffer* table = nullptr;
  Vector3f camera;
  float radius = 0.0f;
  double camera_reach = 0.0; // K . K - outer^2, the camera's part of the outer-sphere test
  float inner = 0.0f;
  float s = 0.0f;
  int32_t samples = 0;
  Vector3f light;
  float kr4pi = 0.0f, km4pi = 0.0f;
  float wavelength4[3] = {};
  float kr = 0.0f, km = 0.0f, esun = 0.0f, g = 0.0f;
};

Vector3f ToModel(const Vector3f& world) {
  return {static_cast<float>(static_cast<double>(world.x) * kScatterWorldToModel),
          static_cast<float>(static_cast<double>(world.y) * kScatterWorldToModel),
          static_cast<float>(static_cast<double>(world.z) * kScatterWorldToModel)};
}

ScatterView MakeView(const TScatter_CPU& sky, const Vector3f& camera) {
  ScatterView view;
  view.table = &sky.OpticalDepth;
  view.camera = camera;
  view.radius = static_cast<float>(LengthD(camera));
  view.camera_reach = DotD(camera, camera) - static_cast<double>(sky.OuterRadius) * sky.OuterRadius;
  view.inner = sky.InnerRadius;
  view.s = sky.Scale;
  view.samples = sky.Samples;
  view.light = sky.LightDirection;
  view.kr4pi = sky.Kr4Pi;
  view.km4pi = sky.Km4Pi;
  for (int c = 0; c < 3; ++c) {
    view.wavelength4[c] = sky.Wavelength4[c];
  }
  view.kr = sky.Kr;
  view.km = sky.Km;
  view.esun = sky.ESun;
  view.g = sky.G;
  return view;
}

// Samples evaluated together: their square roots, divisions and lookups are independent, so
// the processor overlaps them; the sums are still taken in sample order.
constexpr int32_t kSampleBatch = 4;

// Steps 2 to 8 of the model for one vertex; false when the view ray is too short to colour it.
bool RayColour(const ScatterView& view, const Vector3f& p, float colour[3]) {
  const CPixelBuffer& table = *view.table;
  const Vector3f k = view.camera;
  const float r = view.radius;
  const double inner = view.inner;
  const double s = view.s;

  const Vector3f offset{p.x - k.x, p.y - k.y, p.z - k.z};
  const double length = LengthD(offset);
  float far = static_cast<float>(length);
  // Returning before the ray is normalised avoids a division by zero; the result is the same,
  // since starting outside only shortens the ray by the non-negative distance to the atmosphere.
  if (far <= 1e-6f) {
    return false;
  }
  const Vector3f ray{static_cast<float>(offset.x / length), static_cast<float>(offset.y / length),
                     static_cast<float>(offset.z / length)};
  const Vector3f back{-ray.x, -ray.y, -ray.z};

  const float b = static_cast<float>(2.0 * DotD(k, ray));
  const float det =
      static_cast<float>(std::max(static_cast<double>(b) * b - 4.0 * view.camera_reach, 0.0));
  const float near = static_cast<float>((-b - std::sqrt(static_cast<double>(det))) / 2.0);

  Vector3f start = k;
  float start_depth_r = 0.0f;
  float start_depth_m = 0.0f;
  bool toward_camera = true;
  if (near > 0.0f) {
    start = AddScaled(k, ray, near);
    far = static_cast<float>(static_cast<double>(far) - near);
  } else {
    toward_camera = LengthD(p) <= r;
    const double e = (toward_camera ? DotD(back, k) : DotD(ray, k)) / r;
    const CBilinearCell cell =
        table.BilinearCell(static_cast<float>((r - inner) * s), static_cast<float>(0.5 - 0.5 * e));
    start_depth_r = cell.Channel(1);
    start_depth_m = cell.Channel(3);
  }
  if (far <= 1e-6f) {
    return false;
  }

  const float step = static_cast<float>(static_cast<double>(far) / view.samples);
  const float scaled = static_cast<float>(static_cast<double>(step) * s);
  const Vector3f sample_ray{static_cast<float>(static_cast<double>(ray.x) * step),
                            static_cast<float>(static_cast<double>(ray.y) * step),
                            static_cast<float>(static_cast<double>(ray.z) * step)};
  const Vector3f& toward = toward_camera ? back : ray;
  Vector3f q = AddScaled(start, sample_ray, 0.5);
  float sum_r[3] = {0.0f, 0.0f, 0.0f};
  float sum_m[3] = {0.0f, 0.0f, 0.0f};

  for (int32_t done = 0; done < view.samples;) {
    const int32_t batch = std::min(kSampleBatch, view.samples - done);
    CBilinearCell light_cells[kSampleBatch];
    CBilinearCell view_cells[kSampleBatch];
    float density_r[kSampleBatch];
    for (int32_t i = 0; i < batch; ++i) {
      const double h = LengthD(q);
      const float u = static_cast<float>((h - inner) * s);
      light_cells[i] =
          table.BilinearCell(u, static_cast<float>(0.5 - 0.5 * DotD(view.light, q) / h));
      view_cells[i] = table.BilinearCell(u, static_cast<float>(0.5 - 0.5 * DotD(toward, q) / h));
      density_r[i] = light_cells[i].Channel(0);
      q = AddScaled(q, sample_ray, 1.0);
    }
    int32_t used = 0;
    while (used < batch && !(density_r[used] < 1e-6f)) {
      ++used;
    }
    // The exponents first, then the calls in a loop of their own: a call clobbers every
    // floating-point register, so nothing else should be live across it.
    float d_r[kSampleBatch];
    float d_m[kSampleBatch];
    double exponents[kSampleBatch][3];
    for (int32_t i = 0; i < used; ++i) {
      const CBilinearCell& light = light_cells[i];
      const CBilinearCell& along = view_cells[i];
      d_r[i] = static_cast<float>(static_cast<double>(scaled) * density_r[i]);
      d_m[i] = static_cast<float>(static_cast<double>(scaled) * light.Channel(2));
      float tau_r = light.Channel(1);
      float tau_m = light.Channel(3);
      if (toward_camera) {
        tau_r = static_cast<float>(tau_r + (static_cast<double>(along.Channel(1)) - start_depth_r));
        tau_m = static_cast<float>(tau_m + (static_cast<double>(along.Channel(3)) - start_depth_m));
      } else {
        tau_r = static_cast<float>(tau_r + (static_cast<double>(start_depth_r) - along.Channel(1)));
        tau_m = static_cast<float>(tau_m + (static_cast<double>(start_depth_m) - along.Channel(3)));
      }
      tau_r = static_cast<float>(static_cast<double>(tau_r) * view.kr4pi);
      tau_m = static_cast<float>(static_cast<double>(tau_m) * view.km4pi);
      for (int c = 0; c < 3; ++c) {
        exponents[i][c] = -static_cast<double>(tau_r) / view.wavelength4[c] - tau_m;
      }
    }
    float attenuation[kSampleBatch][3];
    for (int32_t i = 0; i < used; ++i) {
      for (int c = 0; c < 3; ++c) {
        attenuation[i][c] = static_cast<float>(std::exp(exponents[i][c]));
      }
    }
    for (int32_t i = 0; i < used; ++i) {
      for (int c = 0; c < 3; ++c) {
        sum_r[c] = static_cast<float>(sum_r[c] + static_cast<double>(attenuation[i][c]) * d_r[i]);
        sum_m[c] = static_cast<float>(sum_m[c] + static_cast<double>(attenuation[i][c]) * d_m[i]);
      }
    }
    // A sample without density does not advance, so every later one would repeat it and add
    // nothing as well: stopping here gives the same sums.
    if (used < batch) {
      break;
    }
    done += batch;
  }

  const double mu = DotD(back, view.light);
  const double g = view.g;
  const float phase_r =
      static_cast<float>(0.75 * (1.0 + mu * mu) * static_cast<double>(view.kr) * view.esun);
  const float phase_m = static_cast<float>(1.5 * ((1.0 - g * g) / (2.0 + g * g)) * (1.0 + mu * mu) /
                                           std::pow(1.0 + g * g - 2.0 * g * mu, 1.5) *
                                           static_cast<double>(view.km) * view.esun);
  for (int c = 0; c < 3; ++c) {
    colour[c] = static_cast<float>(
        std::min(1.0, static_cast<double>(sum_r[c]) * phase_r / view.wavelength4[c] +
                          static_cast<double>(sum_m[c]) * phase_m));
  }
  return true;
}

// The colour of a vertex at p as red, green, blue, alpha; false when it keeps the one it has.
bool NewColour(const ScatterView& view, const Vector3f& p, uint8_t rgba[4]) {
  float colour[3] = {1.0f, 1.0f, 1.0f};
  if (view.radius > TinyValue && !RayColour(view, p, colour)) {
    return false;
  }
  rgba[0] = ToByte(255.0 * colour[0]);
  rgba[1] = ToByte(255.0 * colour[1]);
  rgba[2] = ToByte(255.0 * colour[2]);
  rgba[3] = ToByte(512.0 * (static_cast<double>(colour[0]) + colour[1] + colour[2]));
  return true;
}

void ColourVertex(const ScatterView& view, TScatterVertex& vertex) {
  uint8_t rgba[4];
  if (NewColour(view, Vector3f{vertex.x, vertex.y, vertex.z}, rgba)) {
    vertex.red = rgba[0];
    vertex.green = rgba[1];
    vertex.blue = rgba[2];
    vertex.alpha = rgba[3];
  }
}

void RecolourRange(const ScatterView& view, TScatterVertex* first, TScatterVertex* last) {
  for (TScatterVertex* vertex = first; vertex != last; ++vertex) {
    if (DotD(view.camera, Vector3f{vertex->x, vertex->y, vertex->z}) > 0.0) {
      ColourVertex(view, *vertex);
    }
  }
}

// Vertices taken at a time: small enough that the two threads end close together, large enough
// that taking one costs nothing beside colouring it.
constexpr int32_t kRecolourChunk = 128;

// A chunk's new colours, worked out apart from the sphere and written into it by whichever
// thread publishes the chunk first.
struct ChunkColours {
  uint8_t rgba[kRecolourChunk][4];
  bool changed[kRecolourChunk];
};

} // namespace

// Recolours the sky on the shared worker pool beside the caller. Each vertex's colour depends on
// nothing but the view and its fixed position, so the result is the same whoever colours it.
// Chunks go free -> taken -> publishing -> done. The caller takes free chunks and, at the end,
// also works out those a worker has taken but not published and publishes whichever copy comes
// first: a worker that the system has put aside holds up the frame no longer than the caller
// needs to redo its chunk. Colours are only ever written by the one publisher of a chunk.
class TScatterRecolour {
public:
  explicit TScatterRecolour(std::vector<TScatterVertex>& vertices)
      : vertices_(vertices.data()), vertex_count_(static_cast<int32_t>(vertices.size())),
        chunk_count_((vertex_count_ + kRecolourChunk - 1) / kRecolourChunk),
        state_(std::make_unique<std::atomic<uint8_t>[]>(static_cast<size_t>(chunk_count_))) {}

  ~TScatterRecolour() { Drain(); }

  void Begin(const ScatterView& view) {
    // A worker still on the last job may be working out a chunk that the caller published in
    // its place: the view and the chunks are reused only once it is done.
    Drain();
    view_ = view;
    for (int32_t c = 0; c < chunk_count_; ++c) {
      state_[static_cast<size_t>(c)].store(kFree);
    }
    pending_ = true;
    pool_ = SharedWorkerPool();
    if (pool_ != nullptr && pool_->Threads() > 1) {
      // One item a worker, each going through the chunks as the caller does: taking a chunk is
      // a single exchange, not a trip through the pool. Starting the batch orders the writes
      // above before any worker reads them.
      batch_ = pool_->Start(pool_->Threads() - 1, [this](int32_t) {
        ChunkColours colours;
        for (int32_t c = 0; c < chunk_count_; ++c) {
          std::atomic<uint8_t>& state = state_[static_cast<size_t>(c)];
          uint8_t free = kFree;
          if (!state.compare_exchange_strong(free, kTaken)) {
            continue;
          }
          Colour(c, colours);
          uint8_t taken = kTaken;
          if (state.compare_exchange_strong(taken, kPublishing)) {
            Write(c, colours);
            state.store(kDone);
          }
        }
      });
    }
  }

  void Finish() {
    if (!pending_) {
      return;
    }
    pending_ = false;
    ChunkColours colours;
    for (int32_t c = 0; c < chunk_count_; ++c) {
      uint8_t free = kFree;
      if (state_[static_cast<size_t>(c)].compare_exchange_strong(free, kTaken)) {
        Colour(c, colours);
        Write(c, colours);
        state_[static_cast<size_t>(c)].store(kDone);
      }
    }
    for (int32_t c = 0; c < chunk_count_; ++c) {
      std::atomic<uint8_t>& state = state_[static_cast<size_t>(c)];
      if (state.load() == kTaken) {
        Colour(c, colours);
        uint8_t taken = kTaken;
        if (state.compare_exchange_strong(taken, kPublishing)) {
          Write(c, colours);
          state.store(kDone);
        }
      }
      while (state.load() != kDone) {
        std::this_thread::yield();
      }
    }
  }

private:
  enum : uint8_t { kFree, kTaken, kPublishing, kDone };

  // What is left of the batch finds every chunk done and returns at once, but for a chunk a
  // worker is still working out. A pool stopped since has finished every batch it had.
  void Drain() {
    if (batch_ != nullptr && SharedWorkerPool() == pool_) {
      pool_->Wait(batch_);
    }
    batch_ = nullptr;
  }

  void Colour(int32_t chunk, ChunkColours& colours) const {
    const int32_t first = chunk * kRecolourChunk;
    const int32_t count = std::min(kRecolourChunk, vertex_count_ - first);
    for (int32_t i = 0; i < count; ++i) {
      const TScatterVertex& v = vertices_[first + i];
      const Vector3f p{v.x, v.y, v.z};
      colours.changed[i] = DotD(view_.camera, p) > 0.0 && NewColour(view_, p, colours.rgba[i]);
    }
  }

  void Write(int32_t chunk, const ChunkColours& colours) {
    const int32_t first = chunk * kRecolourChunk;
    const int32_t count = std::min(kRecolourChunk, vertex_count_ - first);
    for (int32_t i = 0; i < count; ++i) {
      if (colours.changed[i]) {
        TScatterVertex& v = vertices_[first + i];
        v.red = colours.rgba[i][0];
        v.green = colours.rgba[i][1];
        v.blue = colours.rgba[i][2];
        v.alpha = colours.rgba[i][3];
      }
    }
  }

  // Written by the caller before the batch starts, read only by whoever takes a chunk.
  ScatterView view_;
  TScatterVertex* const vertices_;
  const int32_t vertex_count_;
  const int32_t chunk_count_;
  std::unique_ptr<std::atomic<uint8_t>[]> state_;
  bool pending_ = false;
  TWorkerPool* pool_ = nullptr;
  TWorkerPool::BatchRef batch_;
};

// --- Optical-depth table -----------------------------------------------------------------------

void BuildOpticalDepthTable(CPixelBuffer& table, float mie_scale_depth, float rayleigh_scale_depth,
                            float outer_radius, float inner_radius) {
  table.Allocate(kTableSize, kTableSize, 1, kTableChannels, kGlRgba, kGlFloat);
  const double inner = inner_radius;
  const double outer = outer_radius;
  const float s = static_cast<float>(1.0 / (outer - inner));
  float* data = table.Floats();

  for (int32_t j = 0; j < kTableSize; ++j) {
    const float kappa = static_cast<float>(1.0 - 2.0 * j / kTableSize);
    const float a = ArcCosFloat(kappa);
    const Vector3f d{static_cast<float>(std::sin(static_cast<double>(a))),
                     static_cast<float>(std::cos(static_cast<double>(a))), 0.0f};
    for (int32_t k = 0; k < kTableSize; ++k) {
      const float h = static_cast<float>(inner + 1e-6 + k * (outer - inner) / kTableSize);
      const Vector3f p{0.0f, h, 0.0f};
      const float b = static_cast<float>(2.0 * DotD(p, d));
      const float dd = static_cast<float>(DotD(p, p));
      const float det = static_cast<float>(static_cast<double>(b) * b - 4.0 * (dd - inner * inner));
      bool blocked = false;
      if (det >= 0.0f) {
        const double root = std::sqrt(static_cast<double>(det));
        blocked = (-b - root) / 2.0 > 0.0 || (root - b) / 2.0 > 0.0;
      }

      float* element = data + (j * kTableSize + k) * kTableChannels;
      float rho_r = 0.0f;
      float rho_m = 0.0f;
      // Row 0 looks straight up and is never blocked, so a blocked row always has one before it.
      if (blocked && j > 0) {
        const float* above = element - kTableSize * kTableChannels;
        rho_r = static_cast<float>(0.75 * above[0]);
        rho_m = static_cast<float>(0.75 * above[2]);
      } else {
        const double altitude = (static_cast<double>(h) - inner) * s;
        rho_r = static_cast<float>(std::exp(-altitude / rayleigh_scale_depth));
        rho_m = static_cast<float>(std::exp(-altitude / mie_scale_depth));
      }

      const float far = static_cast<float>(
          (std::sqrt(static_cast<double>(b) * b - 4.0 * (dd - outer * outer)) - b) / 2.0);
      const float step = static_cast<float>(static_cast<double>(far) / kTableSamples);
      const float scaled = static_cast<float>(static_cast<double>(step) * s);
      Vector3f q = AddScaled(p, d, static_cast<double>(step) / 2.0);
      float tau_r = 0.0f;
      float tau_m = 0.0f;
      for (int32_t i = 0; i < kTableSamples; ++i) {
        const float sample_altitude = static_cast<float>(std::max((LengthD(q) - inner) * s, 0.0));
        tau_r = static_cast<float>(tau_r + std::exp(-sample_altitude / rayleigh_scale_depth));
        tau_m = static_cast<float>(tau_m + std::exp(-sample_altitude / mie_scale_depth));
        q = AddScaled(q, d, step);
      }
      element[0] = rho_r;
      element[1] = static_cast<float>(static_cast<double>(tau_r) * scaled);
      element[2] = rho_m;
      element[3] = static_cast<float>(static_cast<double>(tau_m) * scaled);
    }
  }
}

// --- Sphere ------------------------------------------------------------------------------------

TScatterSphere::TScatterSphere(float radius, int32_t slices, int32_t stacks)
    : Radius(radius), Slices(slices), Stacks(stacks) {
  if (slices < 3 || stacks < 2) {
#ifndef NDEBUG
    std::fprintf(stderr, "TScatterSphere: %d slices by %d stacks is no sphere\n", slices, stacks);
    std::abort();
#endif
    return;
  }
  VertexCount = (stacks - 1) * slices + 2;
  Vertices.resize(static_cast<size_t>(VertexCount));
  const double r = radius;
  Vertices[0] = {0.0f, 0.0f, radius};
  int32_t index = 1;
  for (int32_t i = 1; i < stacks; ++i) {
    const double polar = kPi * i / stacks;
    for (int32_t j = 0; j < slices; ++j) {
      const double azimuth = 2.0 * kPi * j / slices;
      TScatterVertex& v = Vertices[static_cast<size_t>(index++)];
      v.x = static_cast<float>(std::cos(azimuth) * std::sin(polar) * r);
      v.y = static_cast<float>(std::sin(azimuth) * std::sin(polar) * r);
      v.z = static_cast<float>(std::cos(polar) * r);
    }
  }
  Vertices[static_cast<size_t>(index)] = {0.0f, 0.0f, -radius};

  const int32_t last = VertexCount - 1;
  const int32_t last_ring = last - slices;
  auto begin = [this](bool fan) {
    Primitives.push_back({fan, static_cast<int32_t>(DrawIndices.size()), 0});
  };
  auto emit = [this](int32_t vertex) {
    DrawIndices.push_back(vertex);
    ++Primitives.back().Count;
  };

  begin(true);
  emit(0);
  for (int32_t j = 1; j <= slices; ++j) {
    emit(j);
  }
  emit(1);
  for (int32_t i = 1; i <= stacks - 2; ++i) {
    const int32_t b = 1 + (i - 1) * slices;
    const int32_t n = b + slices;
    begin(false);
    for (int32_t j = 0; j < slices; ++j) {
      emit(b + j);
      emit(n + j);
    }
    emit(b);
    emit(n);
  }
  begin(true);
  emit(last);
  for (int32_t j = last - 1; j >= last_ring; --j) {
    emit(j);
  }
  emit(last - 1);
}

// --- Scattering --------------------------------------------------------------------------------

TScatter_CPU::TScatter_CPU() : OuterSphere(OuterRadius, 100, 100) {
  LightDirection = Normalized3(LightPosition);
  Kr4Pi = static_cast<float>(0.01 * kPi);
  Km4Pi = static_cast<float>(0.006 * kPi);
  Scale = static_cast<float>(1.0 / (static_cast<double>(OuterRadius) - InnerRadius));
  for (int c = 0; c < 3; ++c) {
    Wavelength4[c] = PowerFloat(Wavelength[c], 4.0f);
  }
  BuildOpticalDepthTable(OpticalDepth, MieScaleDepth, RayleighScaleDepth, OuterRadius, InnerRadius);
}

TScatter_CPU::~TScatter_CPU() = default;

void TScatter_CPU::UpdateColors(const Vector3f& world_camera_position) {
  FinishUpdateColors();
  CameraPosition = ToModel(world_camera_position);
  if (!OpticalDepth.CanSampleBilinear()) {
    return;
  }
  const ScatterView view = MakeView(*this, CameraPosition);
  RecolourRange(view, OuterSphere.Vertices.data(),
                OuterSphere.Vertices.data() + OuterSphere.Vertices.size());
}

void TScatter_CPU::BeginUpdateColors(const Vector3f& world_camera_position) {
  FinishUpdateColors();
  CameraPosition = ToModel(world_camera_position);
  if (!OpticalDepth.CanSampleBilinear()) {
    return;
  }
  if (recolour_ == nullptr) {
    recolour_ = std::make_unique<TScatterRecolour>(OuterSphere.Vertices);
  }
  recolour_->Begin(MakeView(*this, CameraPosition));
}

void TScatter_CPU::FinishUpdateColors() {
  if (recolour_ != nullptr) {
    recolour_->Finish();
  }
}

void TScatter_CPU::VertexColor(TScatterVertex& vertex) const {
  if (OpticalDepth.CanSampleBilinear()) {
    ColourVertex(MakeView(*this, CameraPosition), vertex);
  }
}

float TScatter_CPU::BrightnessOverhead(const Vector3f& world_position) const {
  const Vector3f camera = ToModel(world_position);
  const double r = LengthD(camera);
  if (!(r > TinyValue) || r >= OuterRadius || !OpticalDepth.CanSampleBilinear()) {
    return 0.0f;
  }
  // The point of the outer sphere straight above, as a sky vertex there would be coloured.
  const double up = OuterRadius / r;
  const Vector3f zenith{static_cast<float>(camera.x * up), static_cast<float>(camera.y * up),
                        static_cast<float>(camera.z * up)};
  float colour[3] = {0.0f, 0.0f, 0.0f};
  if (!RayColour(MakeView(*this, camera), zenith, colour)) {
    return 0.0f;
  }
  return std::max({colour[0], colour[1], colour[2]});
}

} // namespace meridia
