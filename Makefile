# One short command for each thing a person wants to do. See README.md.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PACKAGES = cmake g++ make pkg-config qt6-base-dev libxlsxwriter-dev zlib1g-dev python3-openpyxl libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth dbus at-spi2-core python3-pyatspi

.PHONY: all deps configure build test demo bench windows-zip windows-installer clean

all: build

# Installs only what is missing; needs root (or sudo) the first time on a fresh machine. Waits
# for another apt (a cloud machine's first-boot upgrades) rather than fail on its lock.
deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  SUDO=""; [ "$$(id -u)" -ne 0 ] && SUDO=sudo; \
	  $$SUDO apt-get -o DPkg::Lock::Timeout=600 update && \
	    DEBIAN_FRONTEND=noninteractive $$SUDO apt-get -o DPkg::Lock::Timeout=600 install -y $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# A whole run in a throw-away folder: the simulated terminal delivers 20 records, polling
# converts them with samples/orvwizard.cfg, and the output file is printed (^M$ = CR LF).
demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target polling terminal_sim
	@dir=$$(mktemp -d); \
	cp samples/orvwizard.cfg "$$dir/"; \
	[ -n "$$DISPLAY" ] || export QT_QPA_PLATFORM=offscreen; \
	"$(CURDIR)/$(BUILD)/tools/terminal_sim" --folder "$$dir" --records 20 --seed 7 --timeout-ms 30000 & \
	sim=$$!; \
	(cd "$$dir" && "$(CURDIR)/$(BUILD)/polling/polling"); status=$$?; \
	wait $$sim; \
	echo "polling ended with status $$status; output file $$dir/OUTPUT.TXT:"; \
	cat -A "$$dir/OUTPUT.TXT"

# Throughput against the append-per-record floor, then peak memory for two file sizes.
bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTALLIVO_TESTS=OFF
	cmake --build build-bench -j $(JOBS) --target conversion_bench conversion_memory
	build-bench/bench/conversion_bench
	build-bench/bench/conversion_memory 100000
	build-bench/bench/conversion_memory 2000000

# The Windows programs with the Qt and runtime DLLs they need, as a zip; builds Qt for Windows
# from Debian's source the first time (cached in /var/cache/tallivo; needs root or sudo).
windows-zip:
	bash packaging/windows/make-zip.sh

# The same files as a per-user setup.exe (NSIS): Start-menu entries, an uninstaller, no
# administrator rights.
windows-installer:
	bash packaging/windows/make-installer.sh

clean:
	rm -rf $(BUILD) build-bench build-windows build-windows-package
