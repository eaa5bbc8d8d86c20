import flash.utils.ByteArray;

/**
	Decodes code page 932 text. The two-byte characters come from Cp932Table, which the build
	makes from the same converter the player writes the text with.
**/
class Cp932 {
	static inline var TrailFirst = 0x40;
	static inline var TrailCount = 0xFD - 0x40;

	public static function decode(bytes:ByteArray):String {
		var text = new StringBuf();
		var i = 0;
		while (i < Std.int(bytes.length)) {
			var b = bytes[i];
			var row = leadRow(b);
			if (b < 0x80) {
				text.addChar(b);
			} else if (b >= 0xA1 && b <= 0xDF) {
				text.addChar(0xFF61 + b - 0xA1); // half-width katakana
			} else if (row >= 0 && i + 1 < Std.int(bytes.length) && bytes[i + 1] >= TrailFirst && bytes[i + 1] < 0xFD) {
				text.addChar(Cp932Table.Characters.charCodeAt(row * TrailCount + bytes[i + 1] - TrailFirst));
				i++;
			} else {
				text.addChar(0xFFFD);
			}
			i++;
		}
		return text.toString();
	}

	static function leadRow(b:Int):Int {
		if (b >= 0x81 && b <= 0x9F)
			return b - 0x81;
		if (b >= 0xE0 && b <= 0xFC)
			return b - 0xE0 + 0x1F;
		return -1;
	}
}
