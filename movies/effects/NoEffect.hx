/** The images one after another, without transition. **/
class NoEffect extends EffectMovie {
	static function main() {
		flash.Lib.current.addChild(new NoEffect());
	}
}
