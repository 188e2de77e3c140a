# A thin layer over the scripts and CMake.
.PHONY: run test build clean
run:
	./scripts/run
test:
	./scripts/test
build:
	cmake -S . -B build -G Ninja && cmake --build build
clean:
	rm -rf build build-asan build-release
