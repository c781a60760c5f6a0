#!/usr/bin/python3
"""Trains the live view's 2x super-resolution network and exports it as ONNX.

The network sees what the video engine feeds it: a 1 x 3 x 192 x 256 float blob made from
a grey picture with scale 0.0174 and means (123.675, 116.28, 103.53) in R, G, B order, all
three channels carrying the same luminance. It answers with 1 x 1 x 384 x 512 luminance
values on the 0..255 scale.

Design (chosen for speed under OpenCV's dnn module on a two-core machine):
  channel 0 -> conv 5x5 (1->24) ReLU -> conv 1x1 (24->12) ReLU
            -> depthwise conv 3x3 (12 channels) ReLU -> conv 1x1 (12->24) ReLU
            -> concat with the input channel -> transposed conv 6x6, stride 2 (25->1)
("--arch dense" uses a full 3x3 convolution instead: no better on the held-out set, and
about a third slower.)
The input channel's share of the transposed conv starts as a bicubic enlargement, so the
rest of the network only has to learn the detail bicubic misses. Depth-to-space through
PixelShuffle would cost a 4 ms permute in OpenCV 4.6; the transposed conv costs well under
one.

Training pairs: an original 2h x 2w grey picture, and its input made by 2x bicubic
downscaling (cv2.INTER_CUBIC, as the engine's own enlargement uses OpenCV's bicubic) plus
sensor-like noise (temporal Gaussian, column and row offsets), rounded to 8 bits. Originals
are thermal-like scenes (the simulated camera's kind of picture: a room with a gentle
gradient, a warm body, a hot object of 40..150 C, a cold object and some clutter, blurred
by the optics and mapped min..max onto 0..255) and natural greyscale images shipped by
Debian packages (see README.md).

Held-out material never enters training: thermal scenes from their own seed stream, and the
natural images listed in HELD_OUT (plus the twins of those that have one).

Usage: see README.md. Training runs by hand only.
"""

import argparse
import glob
import math
import os
import sys
import time

import numpy as np
import cv2

BLOB_SCALE = 0.0174
BLOB_MEAN_R = 123.675  # channel 0 of the blob after the R/B swap

W_LR, H_LR = 256, 192
W_HR, H_HR = 512, 384

# Natural images kept out of training; the bench and the tests measure on these.
HELD_OUT = {"camera.png", "fruits.jpg", "building.jpg", "home.jpg", "motorcycle_left.png"}
# Near-duplicates of held-out images (stereo pairs and the like) are left out too.
HELD_OUT_TWINS = {"motorcycle_right.png"}
# Synthetic patterns, tiny or broken files: not natural pictures.
SKIPPED = {"block.png", "checker_bilevel.png", "palette_color.png", "palette_gray.png",
           "foo3x5x4indexed.png", "truncated.jpg", "green_palette.png", "chessboard_GRAY.png",
           "chessboard_RGB.png", "color.png", "microaneurysms.png", "mask.png", "tmpl.png",
           "templ.png", "digits.png", "gradient.png", "aloeGT.png", "logo.png",
           "opencv-logo.png", "opencv-logo-white.png", "LinuxLogo.jpg", "WindowsLogo.jpg",
           "chessboard.png", "notes.png", "ml.png", "detect_blob.png", "HappyFish.jpg"}

# Seed streams: training scenes and held-out scenes never share one.
TRAIN_SEED = 1
HELD_OUT_SEED = 900_001


# ----------------------------------------------------------------------------------------
# Thermal-like scenes (mirrors the simulated camera's scene: temperatures in degrees C,
# then the camera's automatic range maps min..max onto 0..255)

def _blob_mask(rng, h, w, cx, cy, rx, ry, angle):
    yy, xx = np.mgrid[0:h, 0:w].astype(np.float32)
    ca, sa = math.cos(angle), math.sin(angle)
    dx, dy = xx - cx, yy - cy
    u = (ca * dx + sa * dy) / max(rx, 1.0)
    v = (-sa * dx + ca * dy) / max(ry, 1.0)
    return (u * u + v * v) <= 1.0


def _rect_mask(h, w, x0, y0, x1, y1):
    m = np.zeros((h, w), bool)
    m[max(0, int(y0)):max(0, int(y1)), max(0, int(x0)):max(0, int(x1))] = True
    return m


def thermal_scene(rng, h=H_HR, w=W_HR):
    """One clean thermal-like original, uint8 h x w."""
    room = rng.uniform(16.0, 28.0)
    yy, xx = np.mgrid[0:h, 0:w].astype(np.float32)
    gx, gy = rng.uniform(-3.0, 3.0, 2)
    t = room + gx * xx / w + gy * yy / h
    # Low-frequency warmth variations across walls and floor.
    for _ in range(rng.integers(0, 4)):
        cx, cy = rng.uniform(0, w), rng.uniform(0, h)
        s = rng.uniform(30, 160)
        t += rng.uniform(-2.0, 2.0) * np.exp(-((xx - cx) ** 2 + (yy - cy) ** 2) / (2 * s * s))

    # Clutter: furniture, windows, pipes at near-room temperatures.
    for _ in range(rng.integers(1, 8)):
        x0, y0 = rng.uniform(-40, w), rng.uniform(-40, h)
        x1, y1 = x0 + rng.uniform(10, 220), y0 + rng.uniform(4, 160)
        t[_rect_mask(h, w, x0, y0, x1, y1)] = room + rng.uniform(-6.0, 8.0)
    for _ in range(rng.integers(0, 4)):
        pt = (int(rng.uniform(0, w)), int(rng.uniform(0, h)))
        pt2 = (int(rng.uniform(0, w)), int(rng.uniform(0, h)))
        img = np.zeros((h, w), np.uint8)
        cv2.line(img, pt, pt2, 255, int(rng.integers(1, 8)), lineType=cv2.LINE_AA)
        a = img.astype(np.float32) / 255.0
        t = t * (1 - a) + a * (room + rng.uniform(-5.0, 35.0))

    # Warm bodies: torso and head around 30..36 C.
    for _ in range(rng.integers(0, 3)):
        body = rng.uniform(30.0, 36.0)
        cx, cy = rng.uniform(0.1 * w, 0.9 * w), rng.uniform(0.3 * h, 1.0 * h)
        rx, ry = rng.uniform(25, 70), rng.uniform(50, 140)
        m = _blob_mask(rng, h, w, cx, cy, rx, ry, rng.uniform(-0.3, 0.3))
        t[m] = body - 1.5 * rng.random() + 0.8 * np.cos(yy[m] / 23.0)
        hm = _blob_mask(rng, h, w, cx + rng.uniform(-8, 8), cy - ry - rng.uniform(15, 35),
                        rng.uniform(14, 28), rng.uniform(18, 34), 0.0)
        t[hm] = body + rng.uniform(0.0, 1.5)

    # The hot object (a kettle, a soldering iron, a heater): 40..150 C.
    for _ in range(rng.integers(0, 3)):
        hot = rng.uniform(40.0, 150.0)
        if rng.random() < 0.5:
            m = _blob_mask(rng, h, w, rng.uniform(0, w), rng.uniform(0, h),
                           rng.uniform(5, 60), rng.uniform(5, 60), rng.uniform(0, math.pi))
        else:
            x0, y0 = rng.uniform(0, w), rng.uniform(0, h)
            m = _rect_mask(h, w, x0, y0, x0 + rng.uniform(4, 90), y0 + rng.uniform(4, 90))
        if m.any():
            # Hottest in the middle, like a heating element under a casing.
            my, mx = yy[m].mean(), xx[m].mean()
            core = 10.0 * np.exp(-((xx - mx) ** 2 + (yy - my) ** 2) / 800.0)
            t[m] = (hot - rng.uniform(0, 10) + core)[m]

    # The cold object: a drink, an open window, 0..15 C.
    for _ in range(rng.integers(0, 3)):
        cold = rng.uniform(0.0, 15.0)
        x0, y0 = rng.uniform(0, w), rng.uniform(0, h)
        t[_rect_mask(h, w, x0, y0, x0 + rng.uniform(8, 70), y0 + rng.uniform(8, 90))] = cold

    # Heat spreads into the surroundings, and the lens blurs the rest.
    t = cv2.GaussianBlur(t, (0, 0), rng.uniform(0.6, 1.6))
    if rng.random() < 0.3:
        t = 0.7 * t + 0.3 * cv2.GaussianBlur(t, (0, 0), rng.uniform(3, 8))

    lo, hi = float(t.min()), float(t.max())
    g = (t - lo) * (255.0 / max(hi - lo, 1e-3))
    return np.clip(np.round(g), 0, 255).astype(np.uint8)


# ----------------------------------------------------------------------------------------
# Natural images

def list_natural(dirs):
    files = []
    for d in dirs:
        for ext in ("png", "jpg", "jpeg", "tif", "bmp"):
            files += glob.glob(os.path.join(d, "**", "*." + ext), recursive=True)
    train, held = [], []
    seen = set()
    for f in sorted(files):
        name = os.path.basename(f)
        if name in seen or name in SKIPPED or "/tests/" in f:
            continue
        seen.add(name)
        img = cv2.imread(f, cv2.IMREAD_GRAYSCALE)
        if img is None or min(img.shape) < 160:
            continue
        if name in HELD_OUT:
            held.append((name, img))
        elif name not in HELD_OUT_TWINS:
            train.append((name, img))
    return train, held


def centre_crop(img, h=H_HR, w=W_HR):
    """Held-out originals: the centre of the picture, shrunk first only if it is too small."""
    ih, iw = img.shape
    s = max(h / ih, w / iw)
    if s > 1.0:
        img = cv2.resize(img, (math.ceil(iw * s), math.ceil(ih * s)), interpolation=cv2.INTER_CUBIC)
        ih, iw = img.shape
    y0, x0 = (ih - h) // 2, (iw - w) // 2
    return img[y0:y0 + h, x0:x0 + w].copy()


# ----------------------------------------------------------------------------------------
# Degradation

def downscale(hr):
    h, w = hr.shape
    return cv2.resize(hr.astype(np.float32), (w // 2, h // 2), interpolation=cv2.INTER_CUBIC)


def add_sensor_noise(lr, rng, temporal, column, row):
    h, w = lr.shape
    noisy = lr + rng.normal(0, temporal, (h, w)) + rng.normal(0, column, (1, w)) + rng.normal(0, row, (h, 1))
    return np.clip(np.round(noisy), 0, 255).astype(np.uint8)


# ----------------------------------------------------------------------------------------
# Network

ARCHS = ("dense", "depthwise")


def build_net(arch="depthwise"):
    import torch
    import torch.nn as nn

    class SuperResNet(nn.Module):
        def __init__(self):
            super().__init__()
            # "depthwise" swaps the 3x3 convolution for a per-channel one: about a third
            # less time per frame under OpenCV, for some quality.
            middle = (nn.Conv2d(12, 12, 3, padding=1, groups=12) if arch == "depthwise"
                      else nn.Conv2d(12, 12, 3, padding=1))
            self.body = nn.Sequential(
                nn.Conv2d(1, 24, 5, padding=2), nn.ReLU(),
                nn.Conv2d(24, 12, 1), nn.ReLU(),
                middle, nn.ReLU(),
                nn.Conv2d(12, 24, 1), nn.ReLU(),
            )
            self.up = nn.ConvTranspose2d(25, 1, 6, stride=2, padding=2)
            with torch.no_grad():
                # Bicubic (a = -0.75) weights of the three nearest inputs of each output,
                # renormalised; the body's share starts small.
                k = torch.tensor([-0.10547, 0.26172, 0.87891, 0.87891, 0.26172, -0.10547])
                k = k / k.sum() * 2.0
                self.up.weight.mul_(0.1)
                self.up.weight[24, 0] = torch.outer(k, k)
                self.up.bias.zero_()

        def forward(self, x):
            y = x[:, 0:1]
            return self.up(torch.cat([self.body(y), y], 1))

    return SuperResNet()


def to_blob_channel(u8):
    """uint8 luminance -> the blob's channel 0 value."""
    return (u8.astype(np.float32) - BLOB_MEAN_R) * BLOB_SCALE


# ----------------------------------------------------------------------------------------
# Training

def make_pool(rng, naturals, n_thermal, n_natural_crops, patch, min_scale=0.35):
    """Clean (bicubic-downscaled LR float, HR uint8) patch pairs; noise is added per batch."""
    lrs, hrs = [], []
    p2 = patch * 2
    t0 = time.time()
    for i in range(n_thermal):
        hr = thermal_scene(rng)
        lr = downscale(hr)
        for _ in range(12):
            y, x = rng.integers(0, H_LR - patch + 1), rng.integers(0, W_LR - patch + 1)
            lrs.append(lr[y:y + patch, x:x + patch])
            hrs.append(hr[2 * y:2 * y + p2, 2 * x:2 * x + p2])
    print(f"thermal scenes: {n_thermal} in {time.time() - t0:.0f} s", flush=True)
    for i in range(n_natural_crops):
        name, img = naturals[rng.integers(len(naturals))]
        s = rng.uniform(min_scale, 1.0)
        ih, iw = img.shape
        if min(ih, iw) * s < p2 + 8:
            s = (p2 + 8) / min(ih, iw)
        small = cv2.resize(img, (max(p2, int(iw * s)), max(p2, int(ih * s))), interpolation=cv2.INTER_AREA)
        if rng.random() < 0.5:
            small = small[:, ::-1]
        if rng.random() < 0.3:
            small = np.ascontiguousarray(small.T)
        sh, sw = small.shape
        y, x = rng.integers(0, (sh - p2) // 2 + 1) * 2, rng.integers(0, (sw - p2) // 2 + 1) * 2
        hr = np.ascontiguousarray(small[y:y + p2, x:x + p2])
        # Downscale a margin around the patch so its border sees real neighbours.
        y0, x0 = max(0, y - 8), max(0, x - 8)
        big = small[y0:y + p2 + 8, x0:x + p2 + 8]
        lrb = downscale(big)
        oy, ox = (y - y0) // 2, (x - x0) // 2
        lrs.append(lrb[oy:oy + patch, ox:ox + patch])
        hrs.append(hr)
    return np.stack(lrs).astype(np.float32), np.stack(hrs)


def train(args):
    import torch

    torch.set_num_threads(args.threads)
    if args.seed == HELD_OUT_SEED:
        sys.exit("that seed belongs to the held-out scenes")
    torch.manual_seed(args.seed)
    rng = np.random.default_rng(args.seed)
    naturals, held = list_natural(args.images)
    print(f"natural images: {len(naturals)} for training, {len(held)} held out "
          f"({', '.join(n for n, _ in held)})", flush=True)
    if not naturals:
        sys.exit("no natural images found; see README.md")

    lr_pool, hr_pool = make_pool(rng, naturals, args.thermal_scenes, args.natural_crops, args.patch,
                                 args.natural_min_scale)
    n = len(lr_pool)
    print(f"patch pool: {n} pairs of {args.patch}x{args.patch}", flush=True)
    lr_t = torch.from_numpy(lr_pool)
    hr_t = torch.from_numpy(hr_pool.astype(np.float32))

    net = build_net(args.arch)
    if args.resume:
        net.load_state_dict(torch.load(args.resume))
        print(f"resumed from {args.resume}", flush=True)
    opt = torch.optim.Adam(net.parameters(), lr=args.lr)
    budget = args.minutes * 60.0
    start = time.time()
    step = 0
    ema = None
    g = torch.Generator().manual_seed(args.seed)
    while True:
        elapsed = time.time() - start
        if elapsed > budget or (args.steps and step >= args.steps):
            break
        frac = min(1.0, elapsed / budget)
        for group in opt.param_groups:
            group["lr"] = args.lr * (0.02 + 0.98 * 0.5 * (1 + math.cos(math.pi * frac)))
        idx = torch.randint(0, n, (args.batch,), generator=g)
        lr = lr_t[idx]
        b, p, _ = lr.shape
        # Sensor-like noise of a random strength per patch, then 8-bit rounding.
        temporal = torch.rand(b, 1, 1, generator=g) * args.max_noise
        column = torch.rand(b, 1, 1, generator=g) * args.max_noise * 0.6
        row = torch.rand(b, 1, 1, generator=g) * args.max_noise * 0.2
        noisy = (lr + temporal * torch.randn(b, p, p, generator=g)
                 + column * torch.randn(b, 1, p, generator=g) + row * torch.randn(b, p, 1, generator=g))
        noisy = torch.clamp(torch.round(noisy), 0, 255)
        x = ((noisy - BLOB_MEAN_R) * BLOB_SCALE).unsqueeze(1)
        target = ((hr_t[idx] - BLOB_MEAN_R) * BLOB_SCALE).unsqueeze(1)
        out = net(x)
        # Charbonnier: robust early, close to L2 (and so to PSNR) late.
        loss = torch.sqrt((out - target) ** 2 + 1e-6).mean() if frac < args.l2_from else ((out - target) ** 2).mean()
        opt.zero_grad()
        loss.backward()
        opt.step()
        ema = loss.item() if ema is None else 0.98 * ema + 0.02 * loss.item()
        step += 1
        if step % 500 == 0:
            print(f"step {step} t {elapsed:.0f}s lr {opt.param_groups[0]['lr']:.2e} loss {ema:.5f}", flush=True)
            torch.save(net.state_dict(), args.out + ".pt")
    torch.save(net.state_dict(), args.out + ".pt")
    print(f"trained {step} steps in {time.time() - start:.0f} s", flush=True)
    export(net, args.out)
    evaluate(args.out, held)


# ----------------------------------------------------------------------------------------
# Export and evaluation

def export(net, path):
    import torch
    net = net.eval()
    with torch.no_grad():
        # Fold the output's scale into the last layer: 0..255 luminance straight out.
        net.up.weight.div_(BLOB_SCALE)
        net.up.bias.div_(BLOB_SCALE).add_(BLOB_MEAN_R)
    dummy = torch.zeros(1, 3, H_LR, W_LR)
    torch.onnx.export(net, dummy, path, opset_version=11, input_names=["input"],
                      output_names=["output"], do_constant_folding=True)
    import onnx
    model = onnx.load(path)
    onnx.checker.check_model(model)
    print(f"exported {path} ({os.path.getsize(path)} bytes)", flush=True)


def blob_from_grey(lr_u8):
    bgr = cv2.merge([lr_u8, lr_u8, lr_u8])
    return cv2.dnn.blobFromImage(bgr, BLOB_SCALE, (W_LR, H_LR), (123.675, 116.28, 103.53), True, False)


def psnr(a, b):
    mse = np.mean((a.astype(np.float64) - b.astype(np.float64)) ** 2)
    return 99.0 if mse == 0 else 10 * math.log10(255.0 ** 2 / mse)


def ssim(a, b):
    a, b = a.astype(np.float64), b.astype(np.float64)
    c1, c2 = (0.01 * 255) ** 2, (0.03 * 255) ** 2
    blur = lambda m: cv2.GaussianBlur(m, (11, 11), 1.5)
    ma, mb = blur(a), blur(b)
    va, vb, cov = blur(a * a) - ma * ma, blur(b * b) - mb * mb, blur(a * b) - ma * mb
    s = ((2 * ma * mb + c1) * (2 * cov + c2)) / ((ma * ma + mb * mb + c1) * (va + vb + c2))
    return float(s.mean())


def held_out_thermal(count):
    rng = np.random.default_rng(HELD_OUT_SEED)
    return [(f"thermal_{i:02d}.png", thermal_scene(rng)) for i in range(count)]


def evaluate(model_path, held_natural, thermal_count=12):
    net = cv2.dnn.readNetFromONNX(model_path)
    cv2.setNumThreads(4)
    rng = np.random.default_rng(7)
    items = held_out_thermal(thermal_count) + [(n, centre_crop(i)) for n, i in held_natural]
    rows = []
    for name, hr in items:
        lr = add_sensor_noise(downscale(hr), rng, 1.0, 0.5, 0.2)
        net.setInput(blob_from_grey(lr))
        sr = np.clip(net.forward().reshape(H_HR, W_HR), 0, 255).astype(np.uint8)
        bic = cv2.resize(lr, (W_HR, H_HR), interpolation=cv2.INTER_CUBIC)
        rows.append((name, psnr(sr, hr), psnr(bic, hr), ssim(sr, hr), ssim(bic, hr)))
    for r in rows:
        print(f"  {r[0]:24s} net {r[1]:6.2f} dB bicubic {r[2]:6.2f} dB  ssim {r[3]:.4f} / {r[4]:.4f}")
    m = np.mean([[r[1], r[2], r[3], r[4]] for r in rows], axis=0)
    print(f"held-out mean: PSNR gain over bicubic {m[0] - m[1]:.2f} dB, SSIM network {m[2]:.4f} bicubic {m[3]:.4f}")
    for label, pick in (("thermal scenes", True), ("natural images", False)):
        part = [r[1] - r[2] for r in rows if r[0].startswith("thermal_") == pick]
        if part:
            print(f"  {label}: PSNR gain {np.mean(part):.2f} dB over {len(part)}")


def write_held_out(args):
    os.makedirs(args.dir, exist_ok=True)
    _, held = list_natural(args.images) if args.images else ([], [])
    items = held_out_thermal(args.thermal) + [(os.path.splitext(n)[0] + ".png", centre_crop(i)) for n, i in held]
    for name, hr in items:
        cv2.imwrite(os.path.join(args.dir, name), hr, [cv2.IMWRITE_PNG_COMPRESSION, 9])
    print(f"wrote {len(items)} originals to {args.dir}")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = ap.add_subparsers(dest="cmd", required=True)
    t = sub.add_parser("train", help="train and export model.onnx")
    t.add_argument("--images", nargs="+", required=True, help="folders with natural images")
    t.add_argument("--out", default="model.onnx")
    t.add_argument("--minutes", type=float, default=25.0)
    t.add_argument("--steps", type=int, default=0, help="stop after this many steps (0: time only)")
    t.add_argument("--threads", type=int, default=1)
    t.add_argument("--batch", type=int, default=32)
    t.add_argument("--patch", type=int, default=40, help="input patch size")
    t.add_argument("--lr", type=float, default=2e-3)
    t.add_argument("--l2-from", type=float, default=0.6,
                   help="share of the run after which the loss is plain L2 (0: L2 throughout)")
    t.add_argument("--arch", choices=ARCHS, default="depthwise")
    t.add_argument("--seed", type=int, default=TRAIN_SEED, help="seed of the training material")
    t.add_argument("--resume", help="start from the weights of an earlier run (its .pt file)")
    t.add_argument("--max-noise", type=float, default=2.5, help="largest temporal noise, grey levels")
    t.add_argument("--thermal-scenes", type=int, default=1500)
    t.add_argument("--natural-crops", type=int, default=16000)
    t.add_argument("--natural-min-scale", type=float, default=0.35,
                   help="natural pictures are shrunk by a random factor from this to 1 before cropping")
    e = sub.add_parser("eval", help="measure a model on the held-out set")
    e.add_argument("--images", nargs="+", required=True)
    e.add_argument("--model", default="model.onnx")
    h = sub.add_parser("heldout", help="write the held-out originals as PNG")
    h.add_argument("--images", nargs="*")
    h.add_argument("--dir", required=True)
    h.add_argument("--thermal", type=int, default=12)
    args = ap.parse_args()
    if args.cmd == "train":
        train(args)
    elif args.cmd == "eval":
        evaluate(args.model, list_natural(args.images)[1])
    else:
        write_held_out(args)


if __name__ == "__main__":
    main()
