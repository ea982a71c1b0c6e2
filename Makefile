# make test   installs what is missing, builds everything, runs every test
# make fuzz   fuzzes the owner data store for 10 minutes (FUZZ_SECONDS=n to choose)
# make demo   builds the demo installation medium and runs the installer on it
# make bench  times whole installations against the platform's floor and a peer
# make fleet  Ansible installs, reruns, removes and upgrades on eight Wine "PCs" at once (not part of make test)
# make release builds the release images (ISO, floppy images, sums, report) in build/release;
#              PRODUCT=dir makes them of the product's own files in dir (the demo's
#              stand-ins without it), RELEASE=dir of another release description;
#              SIGN_CERT=cert.pem SIGN_KEY=key.pem (or SIGN_PKCS12=id.p12 SIGN_PASS_FILE=pw)
#              signs SETUP.EXE
B ?= build
FUZZ_SECONDS ?= 600

.PHONY: deps test fuzz demo bench fleet release clean
deps:
	@bash scripts/install-deps.sh

test: deps
	bash scripts/test-all.sh $(B)

fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/fuzz.sh $(B)

demo: deps
	bash scripts/demo.sh $(B)

clean:
	rm -rf $(B)

bench: deps
	bash scripts/bench.sh $(B)

fleet: deps
	bash scripts/fleet.sh $(B)

release: deps
	QM_RELEASE_DIR="$(RELEASE)" QM_PRODUCT="$(PRODUCT)" bash scripts/release.sh $(B)
