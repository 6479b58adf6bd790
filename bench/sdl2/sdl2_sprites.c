/* The sprite scenes drawn by SDL2's renderer, a peer for bench/sprites: N copies of one 32x32
   picture, each moved every frame, printing "second T FRAMES 0" once a second as the host's
   frame counter does. SDL_RENDER_DRIVER picks the renderer (software, opengl).
   Usage: sdl2-sprites N TURNED BLENDED   (TURNED, BLENDED: 0 or 1) */
#include <SDL.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

/* The host's pictures: a disc opaque inside and clear outside, or 80% alpha everywhere. */
static SDL_Texture* sprite(SDL_Renderer* r, int blended) {
    static Uint32 px[32 * 32];
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            int inside = (x - 15.5) * (x - 15.5) + (y - 15.5) * (y - 15.5) <= 15.5 * 15.5;
            Uint32 alpha = blended ? 204 : (inside ? 255 : 0);
            px[y * 32 + x] = alpha << 24 | (blended || inside ? 0x0080FF : 0);  /* ARGB: orange */
        }
    SDL_Texture* t = SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, 32, 32);
    SDL_UpdateTexture(t, NULL, px, 32 * 4);
    SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
    return t;
}

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    int n = atoi(argv[1]), turned = atoi(argv[2]), blended = atoi(argv[3]);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_Window* w = SDL_CreateWindow("sdl2-sprites", 0, 0, 800, 600, 0);
    SDL_Renderer* r = w ? SDL_CreateRenderer(w, -1, 0) : NULL;
    if (!r) return 1;
    SDL_Texture* t = sprite(r, blended);
    float* xs = malloc(sizeof(float) * n * 4);
    float *ys = xs + n, *vx = ys + n, *vy = vx + n;
    srand(1);
    for (int i = 0; i < n; ++i) {
        xs[i] = (float)((i * 37) % 760 + 20);
        ys[i] = (float)((i * 53) % 560 + 20);
        vx[i] = blended ? (rand() / (float)RAND_MAX - 0.5f) * 1.4f : 0;
        vy[i] = blended ? (rand() / (float)RAND_MAX - 0.5f) * 1.4f : 0;
    }
    long frames = 0;
    time_t last = time(NULL);
    for (;;) {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            if (e.type == SDL_QUIT) return 0;
        SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
        SDL_RenderClear(r);
        int d = (int)(frames % 16);
        for (int i = 0; i < n; ++i) {
            if (blended) {
                xs[i] += vx[i];
                ys[i] += vy[i];
                if (xs[i] < 20 || xs[i] > 780) vx[i] = -vx[i];
                if (ys[i] < 20 || ys[i] > 580) vy[i] = -vy[i];
            }
            float x = xs[i] + (blended ? 0 : d), y = ys[i];
            if (turned) {
                SDL_FRect dst = {x - 24, y - 12, 48, 24};
                SDL_RenderCopyExF(r, t, NULL, &dst, (i * 0.1 + d * 0.05) * 180 / M_PI, NULL, SDL_FLIP_NONE);
            } else {
                SDL_FRect dst = {x - 16, y - 16, 32, 32};
                SDL_RenderCopyF(r, t, NULL, &dst);
            }
        }
        SDL_RenderPresent(r);
        ++frames;
        time_t now = time(NULL);
        if (now != last) {
            last = now;
            printf("second %ld %ld 0\n", (long)now, frames);
            fflush(stdout);
        }
    }
}
