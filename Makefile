# make test   installs what is missing, builds everything, runs every test
# make demo   builds the demo installation medium and runs the installer on it
# make bench  times whole installations against the platform's floor and a peer
B ?= build

.PHONY: deps test demo bench clean
deps:
	@bash scripts/install-deps.sh

test: deps
	bash scripts/test-all.sh $(B)

demo: deps
	bash scripts/demo.sh $(B)

clean:
	rm -rf $(B)

bench: deps
	bash scripts/bench.sh $(B)
