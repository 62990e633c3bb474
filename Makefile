# Thin front door: every real step lives in CMake, CTest and scripts/.
.PHONY: demo screenshots test bench fuzz package

demo:
	@scripts/bootstrap
	@cmake --preset default >/dev/null
	@cmake --build --preset default
	@scripts/demo

screenshots:
	@scripts/bootstrap
	@cmake --preset default >/dev/null
	@cmake --build --preset default
	@scripts/screenshots

test:
	@scripts/bootstrap
	@cmake --preset default
	@cmake --build --preset default
	@ctest --preset default

bench:
	@scripts/bootstrap
	@cmake --preset default >/dev/null
	@cmake --build --preset default
	@scripts/bench

fuzz:
	@scripts/bootstrap
	@scripts/fuzz

package:
	@scripts/bootstrap
	@cmake --preset default >/dev/null
	@cmake --build --preset default --target package
