// MessageBoxA: a modal box drawn by the layer in a window of its own.
#include <windows.h>

#include "common/font_raster.h"
#include "common/test_hooks_internal.h"
#include "win32/window_system.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using platform::win32::WindowSystem;

struct Button {
    const char* label;
    int id;
    SDL_Rect rect;
};

constexpr int kMargin = 16;
constexpr int kIconSize = 32;
constexpr int kButtonW = 88;
constexpr int kButtonH = 28;
constexpr int kButtonGap = 10;
constexpr int kFontPx = 15;

std::vector<std::string> SplitLines(const char* text) {
    std::vector<std::string> lines(1);
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p == '\r') continue;
        if (*p == '\n') lines.emplace_back();
        else lines.back() += *p;
    }
    // A closing line break adds no empty line.
    while (lines.size() > 1 && lines.back().empty()) lines.pop_back();
    return lines;
}

std::vector<Button> ButtonsFor(UINT type) {
    switch (type & 0xF) {
    case MB_OKCANCEL: return {{"OK", IDOK, {}}, {"Cancel", IDCANCEL, {}}};
    case MB_YESNOCANCEL: return {{"Yes", IDYES, {}}, {"No", IDNO, {}}, {"Cancel", IDCANCEL, {}}};
    case MB_YESNO: return {{"Yes", IDYES, {}}, {"No", IDNO, {}}};
    default: return {{"OK", IDOK, {}}};
    }
}

class Box {
public:
    Box(const char* text, const char* caption, UINT type)
        : lines_(SplitLines(text)), caption_(caption ? caption : "Error"), type_(type),
          buttons_(ButtonsFor(type)) {
        int def = int((type >> 8) & 0xF);
        focus_ = def < int(buttons_.size()) ? def : 0;
    }

    int Run(HWND owner) {
        face_ = platform::text::Face::Open("DejaVu Sans", 400, false, kFontPx);
        Layout();
        int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
        if (SDL_Window* parent = platform::win32::SdlWindowOf(owner)) {
            int px, py, pw, ph;
            SDL_GetWindowPosition(parent, &px, &py);
            SDL_GetWindowSize(parent, &pw, &ph);
            x = px + (pw - width_) / 2;
            y = py + (ph - height_) / 2;
        }
        std::string title = platform::win32::Utf8FromCp1252(caption_.c_str());
        window_ = SDL_CreateWindow(title.c_str(), x, y, width_, height_, SDL_WINDOW_SHOWN);
        if (!window_) {
            std::fprintf(stderr, "MessageBoxA: cannot open the box \"%s\": %s\n", title.c_str(), SDL_GetError());
            return 0;
        }
        WindowSystem& system = WindowSystem::Get();
        system.SetModal(SDL_GetWindowID(window_), [this](const SDL_Event& e) { Handle(e); });
        SDL_RaiseWindow(window_);
        SDL_SetWindowInputFocus(window_);
        Draw();
        while (result_ == 0) {
            SDL_WaitEventTimeout(nullptr, 50);
            system.Pump();
            if (dirty_) Draw();
        }
        system.ClearModal();
        SDL_DestroyWindow(window_);
        window_ = nullptr;
        return result_;
    }

private:
    void Layout() {
        int textW = 0;
        for (const auto& line : lines_) textW = std::max(textW, Measure(line));
        int lineH = face_ ? face_->LineHeight() + 2 : kFontPx + 4;
        int textH = lineH * int(lines_.size());
        bool icon = (type_ & 0xF0) != 0;
        int contentW = textW + (icon ? kIconSize + kMargin : 0);
        int buttonsW = int(buttons_.size()) * kButtonW + int(buttons_.size() - 1) * kButtonGap;
        width_ = std::max(contentW, buttonsW) + 2 * kMargin;
        width_ = std::max(width_, 240);
        int contentH = std::max(textH, icon ? kIconSize : 0);
        height_ = kMargin + contentH + kMargin + kButtonH + kMargin;
        textX_ = kMargin + (icon ? kIconSize + kMargin : 0);
        textY_ = kMargin + (contentH - textH) / 2;
        lineH_ = lineH;
        int bx = width_ - kMargin - buttonsW;
        for (auto& b : buttons_) {
            b.rect = SDL_Rect{bx, height_ - kMargin - kButtonH, kButtonW, kButtonH};
            bx += kButtonW + kButtonGap;
        }
    }

    int Measure(const std::string& s) {
        if (!face_) return int(s.size()) * 8;
        return face_->MeasureString(platform::text::FromCp1252(s.data(), s.size()));
    }

    void Fill(SDL_Surface* surf, SDL_Rect r, Uint8 red, Uint8 green, Uint8 blue) {
        SDL_FillRect(surf, &r, SDL_MapRGB(surf->format, red, green, blue));
    }

    void Text(SDL_Surface* surf, const std::string& s, int x, int baseline, Uint8 shade) {
        if (!face_) return;
        auto plot = [&](int px, int py, uint8_t coverage) {
            if (px < 0 || py < 0 || px >= surf->w || py >= surf->h) return;
            Uint32* pixel = reinterpret_cast<Uint32*>(static_cast<Uint8*>(surf->pixels) +
                                                      py * surf->pitch) + px;
            Uint8 r, g, b;
            SDL_GetRGB(*pixel, surf->format, &r, &g, &b);
            auto mix = [&](Uint8 c) { return Uint8((c * (255 - coverage) + shade * coverage) / 255); };
            *pixel = SDL_MapRGB(surf->format, mix(r), mix(g), mix(b));
        };
        face_->DrawString(platform::text::FromCp1252(s.data(), s.size()), x, baseline, plot);
    }

    void DrawIcon(SDL_Surface* surf) {
        UINT icon = type_ & 0xF0;
        if (!icon) return;
        Uint8 r = 40, g = 100, b = 200;  // question and information: blue
        if (icon == MB_ICONEXCLAMATION) r = 230, g = 170, b = 20;
        if (icon == MB_ICONERROR) r = 200, g = 40, b = 40;
        int cx = kMargin + kIconSize / 2, cy = kMargin + kIconSize / 2;
        for (int y = 0; y < kIconSize; ++y)
            for (int x = 0; x < kIconSize; ++x) {
                int dx = x - kIconSize / 2, dy = y - kIconSize / 2;
                if (dx * dx + dy * dy <= (kIconSize / 2) * (kIconSize / 2))
                    Fill(surf, SDL_Rect{cx - kIconSize / 2 + x, cy - kIconSize / 2 + y, 1, 1}, r, g, b);
            }
        const char* mark = icon == MB_ICONQUESTION ? "?" : icon == MB_ICONERROR ? "x" : "!";
        int w = Measure(mark);
        auto glyph = [&](int px, int py, uint8_t coverage) {
            if (coverage > 100) Fill(surf, SDL_Rect{px, py, 1, 1}, 255, 255, 255);
        };
        if (face_)
            face_->DrawString(platform::text::FromCp1252(mark, 1), cx - w / 2, cy + kFontPx / 2 - 1, glyph);
    }

    void Draw() {
        dirty_ = false;
        SDL_Surface* surf = SDL_GetWindowSurface(window_);
        if (!surf || SDL_LockSurface(surf) != 0) return;
        Fill(surf, SDL_Rect{0, 0, surf->w, surf->h}, 240, 240, 240);
        Fill(surf, SDL_Rect{0, surf->h - kButtonH - 2 * kMargin + 4, surf->w, 1}, 210, 210, 210);
        DrawIcon(surf);
        int baseline = textY_ + (face_ ? face_->Ascent() : kFontPx);
        for (const auto& line : lines_) {
            Text(surf, line, textX_, baseline, 0);
            baseline += lineH_;
        }
        for (size_t i = 0; i < buttons_.size(); ++i) {
            const Button& b = buttons_[i];
            bool focused = int(i) == focus_;
            bool pressed = int(i) == pressed_ && hover_ == pressed_;
            Fill(surf, b.rect, focused ? 0 : 170, focused ? 90 : 170, focused ? 200 : 170);
            SDL_Rect inner{b.rect.x + 1, b.rect.y + 1, b.rect.w - 2, b.rect.h - 2};
            Uint8 face = pressed ? 205 : (int(i) == hover_ ? 235 : 225);
            Fill(surf, inner, face, face, face);
            int w = Measure(b.label);
            Text(surf, b.label, b.rect.x + (b.rect.w - w) / 2,
                 b.rect.y + (b.rect.h + (face_ ? face_->Ascent() - face_->Descent() : kFontPx)) / 2, 0);
        }
        SDL_UnlockSurface(surf);
        SDL_UpdateWindowSurface(window_);
    }

    int ButtonAt(int x, int y) const {
        SDL_Point p{x, y};
        for (size_t i = 0; i < buttons_.size(); ++i)
            if (SDL_PointInRect(&p, &buttons_[i].rect)) return int(i);
        return -1;
    }

    int Find(int id) const {
        for (size_t i = 0; i < buttons_.size(); ++i)
            if (buttons_[i].id == id) return int(i);
        return -1;
    }

    void Handle(const SDL_Event& e) {
        dirty_ = true;
        int n = int(buttons_.size());
        switch (e.type) {
        case SDL_KEYDOWN:
            switch (e.key.keysym.scancode) {
            case SDL_SCANCODE_RETURN:
            case SDL_SCANCODE_KP_ENTER:
            case SDL_SCANCODE_SPACE: result_ = buttons_[focus_].id; break;
            case SDL_SCANCODE_ESCAPE:
                if (Find(IDCANCEL) >= 0) result_ = IDCANCEL;
                else if (n == 1) result_ = IDOK;
                break;
            case SDL_SCANCODE_TAB:
                focus_ = (e.key.keysym.mod & KMOD_SHIFT) ? (focus_ + n - 1) % n : (focus_ + 1) % n;
                break;
            case SDL_SCANCODE_RIGHT:
            case SDL_SCANCODE_DOWN: focus_ = (focus_ + 1) % n; break;
            case SDL_SCANCODE_LEFT:
            case SDL_SCANCODE_UP: focus_ = (focus_ + n - 1) % n; break;
            case SDL_SCANCODE_Y:
                if (Find(IDYES) >= 0) result_ = IDYES;
                break;
            case SDL_SCANCODE_N:
                if (Find(IDNO) >= 0) result_ = IDNO;
                break;
            default: break;
            }
            break;
        case SDL_MOUSEMOTION: hover_ = ButtonAt(e.motion.x, e.motion.y); break;
        case SDL_MOUSEBUTTONDOWN:
            if (e.button.button == SDL_BUTTON_LEFT) {
                pressed_ = ButtonAt(e.button.x, e.button.y);
                hover_ = pressed_;
                if (pressed_ >= 0) focus_ = pressed_;
            }
            break;
        case SDL_MOUSEBUTTONUP:
            if (e.button.button == SDL_BUTTON_LEFT) {
                int at = ButtonAt(e.button.x, e.button.y);
                if (at >= 0 && at == pressed_) result_ = buttons_[at].id;
                pressed_ = -1;
            }
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                // The close box answers as Escape would, where the box allows it.
                if (Find(IDCANCEL) >= 0) result_ = IDCANCEL;
                else if (n == 1) result_ = IDOK;
            }
            break;
        default: break;
        }
    }

    std::vector<std::string> lines_;
    std::string caption_;
    UINT type_;
    std::vector<Button> buttons_;
    std::shared_ptr<platform::text::Face> face_;
    SDL_Window* window_ = nullptr;
    int width_ = 0, height_ = 0, textX_ = 0, textY_ = 0, lineH_ = 0;
    int focus_ = 0, hover_ = -1, pressed_ = -1;
    int result_ = 0;
    bool dirty_ = true;
};

}  // namespace

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    platform::hooks::MessageBoxRecord record{owner, text ? text : "", caption ? caption : "Error",
                                             type, 0};
    int answer = 0;
    if (platform::hooks::internal::NextScriptedAnswer(&answer)) {
        record.answer = answer;
        platform::hooks::internal::RecordMessageBox(record);
        return answer;
    }
    if (!WindowSystem::Get().EnsureVideo()) {
        platform::hooks::internal::RecordMessageBox(record);
        return 0;
    }
    Box box(text, caption, type);
    record.answer = box.Run(owner);
    // As on Windows, the owner is active again once its modal box is gone.
    if (SDL_Window* parent = platform::win32::SdlWindowOf(owner)) {
        SDL_RaiseWindow(parent);
        SDL_SetWindowInputFocus(parent);
    }
    platform::hooks::internal::RecordMessageBox(record);
    return record.answer;
}
